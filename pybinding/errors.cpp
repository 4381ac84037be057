#include "pybinding/errors.hpp"

#include <string>

#include "pybinding/py_lib.hpp"

namespace pybinding {

PyObject* pythonException(const vaskor::Exception& failure) {
  std::string className = "nimpy.";
  if (failure.name != nullptr) className += failure.name;
  // Never cached: every failure gets a class of its own.
  PyObject* cls = pyLib->PyErr_NewException(className.c_str(), pyLib->NimPyException, nullptr);
  // The host could not make the class; its own error stays set.
  if (cls == nullptr) return nullptr;
  std::string msg = "Unexpected error encountered: " + failure.msg;
  pyLib->PyErr_SetString(cls, msg.c_str());
  // The pending error holds the class now.
  decRef(cls);
  return nullptr;
}

PyObject* pythonTypeError(const vaskor::Exception& failure) {
  if (dynamic_cast<const InterpreterExceptionPending*>(&failure) == nullptr)
    pyLib->PyErr_SetString(pyLib->PyExc_TypeError, failure.msg.c_str());
  return nullptr;
}

}  // namespace pybinding
