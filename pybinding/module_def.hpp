// The module descriptor and the two ways of turning it into a host module:
// Py_InitModule4 on Python 2, PyModule_Create2 on Python 3.
#pragma once

#include <cstddef>
#include <vector>

#include "pybinding/host_profile.hpp"

namespace pybinding {

// Native object and iterator types a module may publish. This module
// publishes none, so only their lists exist.
struct PyTypeDesc;
struct PyIteratorDesc {
  const char* name;
};

struct PyModuleDesc {
  const char* name = nullptr;
  const char* doc = nullptr;
  // The host keeps pointing into `methods` once a module exists, so its
  // storage is reserved up front and never reallocated: room for every
  // function and for the closing entries of kClosingsKept init calls (each
  // closes the array once more; later ones find it full and closed).
  static constexpr std::size_t kClosingsKept = 8;
  std::size_t methodCapacity = kClosingsKept;
  std::vector<PyMethodDef> methods;
  std::vector<PyTypeDesc*> types;
  std::vector<PyIteratorDesc> iterators;
  // The module's own attributes beyond those every module gets, added as it
  // is created; false with the host's error set.
  bool (*addAttributes)(PyObject* module) = nullptr;
};

// The descriptor registerMethod adds to.
extern PyModuleDesc* curModuleDef;

// `functions`: how many the module registers, known when it is compiled.
void initPythonModuleDesc(PyModuleDesc& desc, const char* name, const char* doc, std::size_t functions);
// Appends {name, fn, METH_VARARGS | METH_KEYWORDS, doc} to *curModuleDef.
// The texts are kept, not copied.
void registerMethod(const char* name, const char* doc, PyCFunctionWithKeywords fn);

// Loads the API table if needed and closes the method array.
void initCommon(PyModuleDesc& desc);
void initModule2(PyModuleDesc& desc);
// The new module, or null with the host's error (if any) left set.
PyObject* initModule3(PyModuleDesc& desc);
// Adds the module's exception class; false (host error set) if the host
// could not make it.
bool initModuleTypes(PyObject* module, PyModuleDesc& desc);

}  // namespace pybinding
