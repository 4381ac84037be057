#include "pybinding/errors.hpp"

#include <string>
#include <utility>
#include <vector>

#include "pybinding/py_lib.hpp"

namespace pybinding {

namespace {

// The classes made once per kind, with the base they derive from: a later
// init call makes a new base, and classes of the old one are let go.
struct KindClasses {
  PyObject* base = nullptr;
  std::vector<std::pair<std::string, PyObject*>> classes;
};
KindClasses* kindClasses = new KindClasses();

// A new reference to the class kept for `className`, or null.
PyObject* kindClass(const std::string& className) {
  KindClasses& kept = *kindClasses;
  if (kept.base != pyLib->NimPyException) {
    for (auto& entry : kept.classes) decRef(entry.second);
    kept.classes.clear();
    kept.base = pyLib->NimPyException;
  }
  for (auto& entry : kept.classes)
    if (entry.first == className) {
      incRef(entry.second);
      return entry.second;
    }
  return nullptr;
}

void keepKindClass(const std::string& className, PyObject* cls) {
  incRef(cls);
  kindClasses->classes.emplace_back(className, cls);
}

}  // namespace

PyObject* pythonException(const vaskor::Exception& failure) {
  std::string className = "nimpy.";
  if (failure.name != nullptr) className += failure.name;
  // Every failure gets a class of its own, except where the host never
  // reclaims a class once made: there each kind's class is made once.
  const bool reuse = !hostProfile.classesCollected;
  PyObject* cls = reuse ? kindClass(className) : nullptr;
  if (cls == nullptr) {
    cls = pyLib->PyErr_NewException(className.c_str(), pyLib->NimPyException, nullptr);
    // The host could not make the class; its own error stays set.
    if (cls == nullptr) return nullptr;
    if (reuse) keepKindClass(className, cls);
  }
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
