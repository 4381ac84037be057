#include "module/frame_errors.hpp"

#include "module/buffer_args.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/py_ref.hpp"
#include "vaskor/frame.hpp"

namespace pyvaskor {

using namespace pybinding;

namespace {

// The classes of the newest module; a later init call's replace them.
PyObject* frameError = nullptr;
PyObject* frameVersionError = nullptr;

void keep(PyObject*& slot, PyObject* cls) {
  if (slot != nullptr) decRef(slot);
  slot = cls;
}

bool fromPythonModule() {
  PyRef errors = PyRef::adopt(pyLib->PyImport_ImportModule("pyvaskor_errors"));
  if (!errors) return false;
  PyRef corrupt = PyRef::adopt(pyLib->PyObject_GetAttrString(errors.get(), "FrameError"));
  PyRef newer = PyRef::adopt(pyLib->PyObject_GetAttrString(errors.get(), "FrameVersionError"));
  if (!corrupt || !newer) return false;
  keep(frameError, corrupt.release());
  keep(frameVersionError, newer.release());
  return true;
}

bool madeHere() {
  PyObject* corrupt = pyLib->PyErr_NewException("pyvaskor.FrameError", pyLib->PyExc_ValueError, nullptr);
  if (corrupt == nullptr) return false;
  PyObject* newer = pyLib->PyErr_NewException("pyvaskor.FrameVersionError", corrupt, nullptr);
  if (newer == nullptr) {
    decRef(corrupt);
    return false;
  }
  keep(frameError, corrupt);
  keep(frameVersionError, newer);
  return true;
}

bool addKept(PyObject* module, const char* name, PyObject* cls) {
  incRef(cls);
  if (pyLib->PyModule_AddObject(module, name, cls) == 0) return true;
  decRef(cls);
  return false;
}

}  // namespace

bool addFrameErrors(PyObject* module) {
  if (!fromPythonModule()) {
    pyLib->PyErr_Clear();
    if (!madeHere()) return false;
  }
  return addKept(module, "FrameError", frameError) && addKept(module, "FrameVersionError", frameVersionError);
}

PyObject* frameFailure(const vaskor::Exception& failure) {
  PyObject* cls = dynamic_cast<const vaskor::frame::FrameVersionError*>(&failure) != nullptr ? frameVersionError
                  : dynamic_cast<const vaskor::frame::FrameError*>(&failure) != nullptr      ? frameError
                                                                                              : nullptr;
  if (cls != nullptr) {
    pyLib->PyErr_SetString(cls, failure.msg.c_str());
    return nullptr;
  }
  if (dynamic_cast<const vaskor::ValueError*>(&failure) != nullptr) return valueError(failure.msg);
  return pythonException(failure);
}

}  // namespace pyvaskor
