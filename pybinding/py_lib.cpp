#include "pybinding/py_lib.hpp"

#include <dlfcn.h>

#include <cstdio>
#include <initializer_list>
#include <memory>

#include "runtime/failure.hpp"

namespace pybinding {

PyLib* pyLib = nullptr;
uint64_t pyObjectStartOffset = 0;
std::vector<ExportedModule> exportedModules;

namespace {

// Tries `names` left to right; `last` ends as the last name tried, which is
// the one a failed required lookup reports.
void* findFirst(void* handle, std::initializer_list<const char*> names, const char*& last) {
  for (const char* name : names) {
    last = name;
    if (void* addr = dlsym(handle, name)) return addr;
  }
  return nullptr;
}

void* findRequired(void* handle, std::initializer_list<const char*> names) {
  const char* last = nullptr;
  void* addr = findFirst(handle, names, last);
  if (addr == nullptr) symNotLoadedErr(last);
  return addr;
}

void* findOptional(void* handle, const char* name) { return dlsym(handle, name); }

template <class Fn>
void function(void* handle, Fn& entry, std::initializer_list<const char*> names) {
  entry = reinterpret_cast<Fn>(findRequired(handle, names));
}

template <class Fn>
void optionalFunction(void* handle, Fn& entry, const char* name) {
  entry = reinterpret_cast<Fn>(findOptional(handle, name));
}

template <class T>
void optionalObject(void* handle, T*& entry, const char* name) {
  entry = static_cast<T*>(findOptional(handle, name));
}

void optionalObjectPointer(void* handle, PyObject*& entry, const char* name) {
  auto** var = static_cast<PyObject**>(findOptional(handle, name));
  entry = var != nullptr ? *var : nullptr;
}

// The host object lives at the symbol's address.
template <class T>
void object(void* handle, T*& entry, std::initializer_list<const char*> names) {
  entry = static_cast<T*>(findRequired(handle, names));
}

// The host exports a variable holding the object; keep the object as the
// variable held it at load time.
void objectPointer(void* handle, PyObject*& entry, const char* name) {
  entry = *static_cast<PyObject**>(findRequired(handle, {name}));
}

// Reference-tracing hosts carry a longer object head. The rule asks for all
// three creation names, which no ordinary host exports together.
uint64_t detectStartOffset(void* handle) {
  bool all = dlsym(handle, "PyModule_Create2") != nullptr &&
             dlsym(handle, "Py_InitModule4_64") != nullptr &&
             dlsym(handle, "Py_InitModule4") != nullptr;
  return all ? 16 : 0;
}

// Names that differ between Python 2 and 3, and the complex accessors,
// each with its own fallback rule.
void loadAlternatives(void* h, PyLib& lib) {
  optionalFunction(h, lib.PyComplex_AsCComplex, "PyComplex_AsCComplex");
  if (lib.PyComplex_AsCComplex == nullptr) {
    function(h, lib.PyComplex_RealAsDouble, {"PyComplex_RealAsDouble"});
    function(h, lib.PyComplex_ImagAsDouble, {"PyComplex_ImagAsDouble"});
  }

  optionalFunction(h, lib.PyUnicode_CompareWithASCIIString, "PyUnicode_CompareWithASCIIString");
  if (lib.PyUnicode_CompareWithASCIIString == nullptr)
    function(h, lib.PyString_AsString, {"PyString_AsString"});

  function(h, lib.PyUnicode_AsUTF8String,
           {"PyUnicode_AsUTF8String", "PyUnicodeUCS4_AsUTF8String", "PyUnicodeUCS2_AsUTF8String"});

  // The pair is chosen on PyBytes_AsStringAndSize alone.
  optionalFunction(h, lib.PyBytes_AsStringAndSize, "PyBytes_AsStringAndSize");
  optionalFunction(h, lib.PyBytes_FromStringAndSize, "PyBytes_FromStringAndSize");
  if (lib.PyBytes_AsStringAndSize == nullptr) {
    function(h, lib.PyBytes_AsStringAndSize, {"PyString_AsStringAndSize"});
    function(h, lib.PyBytes_FromStringAndSize, {"PyString_FromStringAndSize"});
  }
}

void loadEntries(void* h, PyLib& lib) {
  function(h, lib.Py_BuildValue, {"_Py_BuildValue_SizeT"});
  function(h, lib.PyTuple_New, {"PyTuple_New"});
  function(h, lib.PyTuple_Size, {"PyTuple_Size"});
  function(h, lib.PyTuple_GetItem, {"PyTuple_GetItem"});
  function(h, lib.PyTuple_SetItem, {"PyTuple_SetItem"});
  object(h, lib.Py_None, {"_Py_NoneStruct"});
  function(h, lib.PyType_Ready, {"PyType_Ready"});
  function(h, lib.PyType_GenericNew, {"PyType_GenericNew"});
  function(h, lib.PyModule_AddObject, {"PyModule_AddObject"});
  function(h, lib.PyList_New, {"PyList_New"});
  function(h, lib.PyList_Size, {"PyList_Size"});
  function(h, lib.PyList_GetItem, {"PyList_GetItem"});
  function(h, lib.PyList_SetItem, {"PyList_SetItem"});
  function(h, lib.PyObject_Call, {"PyObject_Call"});
  function(h, lib.PyObject_IsTrue, {"PyObject_IsTrue"});
  function(h, lib.PyObject_GetAttrString, {"PyObject_GetAttrString"});
  function(h, lib.PyObject_SetAttrString, {"PyObject_SetAttrString"});
  function(h, lib.PyObject_Dir, {"PyObject_Dir"});
  function(h, lib.PyObject_Str, {"PyObject_Str"});
  function(h, lib.PyObject_GetIter, {"PyObject_GetIter"});
  function(h, lib.PyObject_GetItem, {"PyObject_GetItem"});
  function(h, lib.PyObject_SetItem, {"PyObject_SetItem"});
  function(h, lib.PyObject_RichCompareBool, {"PyObject_RichCompareBool"});
  optionalFunction(h, lib.PyObject_GetBuffer, "PyObject_GetBuffer");
  optionalFunction(h, lib.PyBuffer_Release, "PyBuffer_Release");
  function(h, lib.PyIter_Next, {"PyIter_Next"});
  function(h, lib.PyNumber_Long, {"PyNumber_Long"});
  function(h, lib.PyLong_AsLongLong, {"PyLong_AsLongLong"});
  function(h, lib.PyLong_AsUnsignedLongLong, {"PyLong_AsUnsignedLongLong"});
  function(h, lib.PyFloat_AsDouble, {"PyFloat_AsDouble"});
  function(h, lib.PyBool_FromLong, {"PyBool_FromLong"});
  object(h, lib.PyBool_Type, {"PyBool_Type"});
  object(h, lib.PyFloat_Type, {"PyFloat_Type"});
  object(h, lib.PyComplex_Type, {"PyComplex_Type"});
  object(h, lib.PyCapsule_Type, {"PyCapsule_Type"});
  object(h, lib.PyTuple_Type, {"PyTuple_Type"});
  object(h, lib.PyList_Type, {"PyList_Type"});
  object(h, lib.PyUnicode_Type, {"PyUnicode_Type"});
  object(h, lib.PySuper_Type, {"PySuper_Type"});
  object(h, lib.PyBytes_Type, {"PyBytes_Type", "PyString_Type"});
  function(h, lib.PyUnicode_FromString, {"PyUnicode_FromString", "PyString_FromString"});
  function(h, lib.PyType_IsSubtype, {"PyType_IsSubtype"});
  loadAlternatives(h, lib);
  object(h, lib.PyDict_Type, {"PyDict_Type"});
  function(h, lib.PyDict_New, {"PyDict_New"});
  function(h, lib.PyDict_Size, {"PyDict_Size"});
  function(h, lib.PyDict_GetItemString, {"PyDict_GetItemString"});
  function(h, lib.PyDict_SetItemString, {"PyDict_SetItemString"});
  function(h, lib.PyDict_GetItem, {"PyDict_GetItem"});
  function(h, lib.PyDict_SetItem, {"PyDict_SetItem"});
  function(h, lib.PyDict_Keys, {"PyDict_Keys"});
  function(h, lib.PyDict_Values, {"PyDict_Values"});
  function(h, lib.PyDict_Contains, {"PyDict_Contains"});
  function(h, lib.PyErr_Clear, {"PyErr_Clear"});
  function(h, lib.PyErr_SetString, {"PyErr_SetString"});
  function(h, lib.PyErr_Occurred, {"PyErr_Occurred"});
  objectPointer(h, lib.PyExc_TypeError, "PyExc_TypeError");
  function(h, lib.PyCapsule_New, {"PyCapsule_New"});
  function(h, lib.PyCapsule_GetPointer, {"PyCapsule_GetPointer"});
  function(h, lib.PyImport_ImportModule, {"PyImport_ImportModule"});
  function(h, lib.PyEval_GetBuiltins, {"PyEval_GetBuiltins"});
  function(h, lib.PyEval_GetGlobals, {"PyEval_GetGlobals"});
  function(h, lib.PyEval_GetLocals, {"PyEval_GetLocals"});
  function(h, lib.PyCFunction_NewEx, {"PyCFunction_NewEx"});
  function(h, lib.PyErr_Fetch, {"PyErr_Fetch"});
  function(h, lib.PyErr_NormalizeException, {"PyErr_NormalizeException"});
  function(h, lib.PyErr_GivenExceptionMatches, {"PyErr_GivenExceptionMatches"});
  function(h, lib.PyErr_NewException, {"PyErr_NewException"});
  objectPointer(h, lib.PyExc_ArithmeticError, "PyExc_ArithmeticError");
  objectPointer(h, lib.PyExc_FloatingPointError, "PyExc_FloatingPointError");
  objectPointer(h, lib.PyExc_OverflowError, "PyExc_OverflowError");
  objectPointer(h, lib.PyExc_ZeroDivisionError, "PyExc_ZeroDivisionError");
  objectPointer(h, lib.PyExc_AssertionError, "PyExc_AssertionError");
  objectPointer(h, lib.PyExc_OSError, "PyExc_OSError");
  objectPointer(h, lib.PyExc_IOError, "PyExc_IOError");
  objectPointer(h, lib.PyExc_ValueError, "PyExc_ValueError");
  objectPointer(h, lib.PyExc_EOFError, "PyExc_EOFError");
  objectPointer(h, lib.PyExc_MemoryError, "PyExc_MemoryError");
  objectPointer(h, lib.PyExc_IndexError, "PyExc_IndexError");
  objectPointer(h, lib.PyExc_KeyError, "PyExc_KeyError");
}

}  // namespace

void* pythonLibHandleForThisProcess() { return dlopen(nullptr, RTLD_NOW); }

void loadPyLibFromThisProcess() {
  if (pyLib == nullptr) pyLib = loadPyLibFromModule(pythonLibHandleForThisProcess());
}

PyVersion getPyVersion(void* handle) {
  using GetVersion = const char* (*)();
  auto getVersion = reinterpret_cast<GetVersion>(dlsym(handle, "Py_GetVersion"));
  if (getVersion == nullptr) vaskor::raise<vaskor::ValueError>("Could not determine Python version");
  const char* text = getVersion();
  if (text == nullptr) text = "";
  int major = 0, minor = 0, micro = 0;
  if (std::sscanf(text, "%d.%d.%d", &major, &minor, &micro) <= 0)
    vaskor::raise<vaskor::ValueError>(std::string("Could not determine Python version: ") + text);
  return {major, minor, micro};
}

PyLib* loadPyLibFromModule(void* handle) {
  auto lib = std::make_unique<PyLib>();  // value-initialised: every entry empty
  lib->module = handle;
  lib->pythonVersion = getPyVersion(handle);
  pyObjectStartOffset = detectStartOffset(handle);
  loadEntries(handle, *lib);
  lib->PyDealloc = deallocPythonObj;
  optionalFunction(handle, lib->PyLong_FromLongLong, "PyLong_FromLongLong");
  optionalObject(handle, lib->PyLong_Type, "PyLong_Type");
  optionalObject(handle, lib->PyInt_Type, "PyInt_Type");
  optionalObjectPointer(handle, lib->PyExc_Exception, "PyExc_Exception");
  return lib.release();
}

void symNotLoadedErr(const char* name) {
  vaskor::raise<vaskor::ValueError>(std::string("Symbol not loaded: ") + name);
}

void registerExportedModule(const std::string& name, void* initAddr2, void* initAddr3) {
  exportedModules.push_back({name, initAddr2, initAddr3});
}

void deallocPythonObj(PyObject* o) {
  auto* type = *reinterpret_cast<PyTypeObject**>(reinterpret_cast<char*>(o) + pyObjectStartOffset + 8);
  type->tp_dealloc(o);
}

}  // namespace pybinding
