// The API table: every host entry point the module uses, found by name in
// the host process at the first module-init call. All calls into Python go
// through it, so the library links against no Python library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pybinding/host_abi.hpp"

namespace pybinding {

struct PyVersion {
  int64_t major = 0;
  int64_t minor = 0;
  int64_t micro = 0;
};

// Fields in declared order. Functions hold host addresses; objects hold the
// host object itself; the PyExc_* entries hold the object their host variable
// pointed to when the table was loaded.
struct PyLib {
  void* module;

  PyObject* (*Py_BuildValue)(const char*, ...);
  PyObject* (*PyTuple_New)(Py_ssize_t);
  Py_ssize_t (*PyTuple_Size)(PyObject*);
  PyObject* (*PyTuple_GetItem)(PyObject*, Py_ssize_t);
  int (*PyTuple_SetItem)(PyObject*, Py_ssize_t, PyObject*);
  PyObject* Py_None;
  int (*PyType_Ready)(PyTypeObject*);
  PyObject* (*PyType_GenericNew)(PyTypeObject*, PyObject*, PyObject*);
  int (*PyModule_AddObject)(PyObject*, const char*, PyObject*);
  PyObject* (*PyList_New)(Py_ssize_t);
  Py_ssize_t (*PyList_Size)(PyObject*);
  PyObject* (*PyList_GetItem)(PyObject*, Py_ssize_t);
  int (*PyList_SetItem)(PyObject*, Py_ssize_t, PyObject*);
  PyObject* (*PyObject_Call)(PyObject*, PyObject*, PyObject*);
  int (*PyObject_IsTrue)(PyObject*);
  PyObject* (*PyObject_GetAttrString)(PyObject*, const char*);
  int (*PyObject_SetAttrString)(PyObject*, const char*, PyObject*);
  PyObject* (*PyObject_Dir)(PyObject*);
  PyObject* (*PyObject_Str)(PyObject*);
  PyObject* (*PyObject_GetIter)(PyObject*);
  PyObject* (*PyObject_GetItem)(PyObject*, PyObject*);
  int (*PyObject_SetItem)(PyObject*, PyObject*, PyObject*);
  int (*PyObject_RichCompareBool)(PyObject*, PyObject*, int);
  int (*PyObject_GetBuffer)(PyObject*, void*, int);  // optional
  void (*PyBuffer_Release)(void*);                   // optional
  PyObject* (*PyErr_NewException)(const char*, PyObject*, PyObject*);
  PyObject* (*PyIter_Next)(PyObject*);
  PyObject* (*PyNumber_Long)(PyObject*);
  long long (*PyLong_AsLongLong)(PyObject*);
  unsigned long long (*PyLong_AsUnsignedLongLong)(PyObject*);
  double (*PyFloat_AsDouble)(PyObject*);
  PyObject* (*PyBool_FromLong)(long);
  PyTypeObject* PyBool_Type;
  PyTypeObject* PyFloat_Type;
  PyTypeObject* PyComplex_Type;
  PyTypeObject* PyCapsule_Type;
  PyTypeObject* PyTuple_Type;
  PyTypeObject* PyList_Type;
  PyTypeObject* PyBytes_Type;  // PyString_Type on Python 2
  PyTypeObject* PyUnicode_Type;
  PyTypeObject* PySuper_Type;
  int (*PyType_IsSubtype)(PyTypeObject*, PyTypeObject*);
  Py_complex (*PyComplex_AsCComplex)(PyObject*);  // or the next two
  double (*PyComplex_RealAsDouble)(PyObject*);
  double (*PyComplex_ImagAsDouble)(PyObject*);
  PyObject* (*PyUnicode_AsUTF8String)(PyObject*);
  PyObject* (*PyBytes_FromStringAndSize)(const char*, Py_ssize_t);
  int (*PyBytes_AsStringAndSize)(PyObject*, char**, Py_ssize_t*);
  PyObject* (*PyUnicode_FromString)(const char*);
  int (*PyUnicode_CompareWithASCIIString)(PyObject*, const char*);  // Python 3
  char* (*PyString_AsString)(PyObject*);                            // Python 2
  PyTypeObject* PyDict_Type;
  PyObject* (*PyDict_New)();
  Py_ssize_t (*PyDict_Size)(PyObject*);
  PyObject* (*PyDict_GetItemString)(PyObject*, const char*);
  int (*PyDict_SetItemString)(PyObject*, const char*, PyObject*);
  PyObject* (*PyDict_GetItem)(PyObject*, PyObject*);
  int (*PyDict_SetItem)(PyObject*, PyObject*, PyObject*);
  PyObject* (*PyDict_Keys)(PyObject*);
  PyObject* (*PyDict_Values)(PyObject*);
  int (*PyDict_Contains)(PyObject*, PyObject*);
  void (*PyDealloc)(PyObject*);
  void (*PyErr_Clear)();
  void (*PyErr_SetString)(PyObject*, const char*);
  PyObject* (*PyErr_Occurred)();
  PyObject* PyExc_TypeError;
  PyObject* (*PyCapsule_New)(void*, const char*, void (*)(PyObject*));
  void* (*PyCapsule_GetPointer)(PyObject*, const char*);
  PyObject* (*PyImport_ImportModule)(const char*);
  PyObject* (*PyEval_GetBuiltins)();
  PyObject* (*PyEval_GetGlobals)();
  PyObject* (*PyEval_GetLocals)();
  PyObject* (*PyCFunction_NewEx)(PyMethodDef*, PyObject*, PyObject*);
  PyVersion pythonVersion;
  void (*PyErr_Fetch)(PyObject**, PyObject**, PyObject**);
  void (*PyErr_NormalizeException)(PyObject**, PyObject**, PyObject**);
  int (*PyErr_GivenExceptionMatches)(PyObject*, PyObject*);
  PyObject* PyExc_BaseException;  // never looked up
  PyObject* PyExc_Exception;      // optional, looked up after every other entry
  PyObject* PyExc_ArithmeticError;
  PyObject* PyExc_FloatingPointError;
  PyObject* PyExc_OverflowError;
  PyObject* PyExc_ZeroDivisionError;
  PyObject* PyExc_AssertionError;
  PyObject* PyExc_OSError;
  PyObject* PyExc_IOError;
  PyObject* PyExc_ValueError;
  PyObject* PyExc_EOFError;
  PyObject* PyExc_MemoryError;
  PyObject* PyExc_IndexError;
  PyObject* PyExc_KeyError;
  PyObject* NimPyException;  // set by module creation

  // Optional fast path, looked up after every specified entry; results are
  // built through Py_BuildValue("L") where the host lacks it.
  PyObject* (*PyLong_FromLongLong)(long long);
  // Optional, looked up after it: the host's exact integer types (PyInt_Type
  // on Python 2 only), whose conversion runs no Python code.
  PyTypeObject* PyLong_Type;
  PyTypeObject* PyInt_Type;
};

struct ExportedModule {
  std::string name;
  void* initAddr2;
  void* initAddr3;
};

extern PyLib* pyLib;
extern uint64_t pyObjectStartOffset;
extern std::vector<ExportedModule> exportedModules;

// dlopen(nullptr, RTLD_NOW); never closed.
void* pythonLibHandleForThisProcess();
// Loads the table into `pyLib` unless it is already there.
void loadPyLibFromThisProcess();
// Builds a new table from `handle`; raises ValueError on a missing entry.
PyLib* loadPyLibFromModule(void* handle);
PyVersion getPyVersion(void* handle);
[[noreturn]] void symNotLoadedErr(const char* name);
void registerExportedModule(const std::string& name, void* initAddr2, void* initAddr3);

void deallocPythonObj(PyObject* o);

inline Py_ssize_t& refCount(PyObject* o) {
  return *reinterpret_cast<Py_ssize_t*>(reinterpret_cast<char*>(o) + pyObjectStartOffset);
}
// Hosts from 3.12 on make some objects immortal (None, small ints, interned
// names): a count whose low 32 bits read negative, which the host itself
// neither raises nor lowers. No older host reaches such a count.
inline bool isImmortal(PyObject* o) { return static_cast<int32_t>(refCount(o)) < 0; }
inline void incRef(PyObject* o) {
  if (!isImmortal(o)) ++refCount(o);
}
inline void decRef(PyObject* o) {
  if (!isImmortal(o) && --refCount(o) == 0) pyLib->PyDealloc(o);
}

// The type pointer, 8 bytes into the object (no start offset: the type
// tests read it there).
inline PyTypeObject* typeOf(PyObject* o) { return o->ob_type; }

}  // namespace pybinding
