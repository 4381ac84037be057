# The API names a fake host can export. Both families export the common
# names; the family-specific ones are the names the loader tries first
# (Python 3) or falls back to (Python 2, 64-bit, UCS4).
set(FAKE_HOST_COMMON_NAMES
  _Py_BuildValue_SizeT PyTuple_New PyTuple_Size PyTuple_GetItem PyTuple_SetItem
  _Py_NoneStruct PyType_Ready PyType_GenericNew PyModule_AddObject
  PyList_New PyList_Size PyList_GetItem PyList_SetItem
  PyObject_Call PyObject_IsTrue PyObject_GetAttrString PyObject_SetAttrString
  PyObject_Dir PyObject_Str PyObject_GetIter PyObject_GetItem PyObject_SetItem
  PyObject_RichCompareBool PyObject_GetBuffer PyBuffer_Release
  PyIter_Next PyNumber_Long PyLong_AsLongLong PyLong_AsUnsignedLongLong
  PyFloat_AsDouble PyBool_FromLong
  PyBool_Type PyFloat_Type PyComplex_Type PyCapsule_Type PyTuple_Type
  PyList_Type PyUnicode_Type PySuper_Type
  PyType_IsSubtype
  PyComplex_AsCComplex PyComplex_RealAsDouble PyComplex_ImagAsDouble
  PyDict_Type PyDict_New PyDict_Size PyDict_GetItemString PyDict_SetItemString
  PyDict_GetItem PyDict_SetItem PyDict_Keys PyDict_Values PyDict_Contains
  PyErr_Clear PyErr_SetString PyErr_Occurred PyExc_TypeError
  PyCapsule_New PyCapsule_GetPointer PyImport_ImportModule
  PyEval_GetBuiltins PyEval_GetGlobals PyEval_GetLocals PyCFunction_NewEx
  PyErr_Fetch PyErr_NormalizeException PyErr_GivenExceptionMatches
  PyErr_NewException
  PyExc_ArithmeticError PyExc_FloatingPointError PyExc_OverflowError
  PyExc_ZeroDivisionError PyExc_AssertionError PyExc_OSError PyExc_IOError
  PyExc_ValueError PyExc_EOFError PyExc_MemoryError PyExc_IndexError
  PyExc_KeyError PyExc_ImportError
  PyLong_FromLongLong)

set(FAKE_HOST_PY3_NAMES ${FAKE_HOST_COMMON_NAMES}
  PyModule_Create2 PyBytes_Type PyUnicode_FromString
  PyUnicode_CompareWithASCIIString PyUnicode_AsUTF8String
  PyBytes_AsStringAndSize PyBytes_FromStringAndSize)

set(FAKE_HOST_PY2_NAMES ${FAKE_HOST_COMMON_NAMES}
  Py_InitModule4_64 PyString_Type PyString_FromString PyString_AsString
  PyUnicodeUCS4_AsUTF8String PyString_AsStringAndSize
  PyString_FromStringAndSize)

# Names with a working fake behind them (fake_host_functions.inc); every
# other function name is a dummy that aborts when called.
set(FAKE_HOST_WORKING_NAMES
  PyModule_Create2 PyModule_Create2TraceRefs Py_InitModule4 Py_InitModule4_64
  PyErr_NewException PyModule_AddObject
  PyTuple_New PyTuple_SetItem PyList_New PyList_SetItem PyErr_SetString PyErr_Occurred)
