# The API names a fake host can export. Both families export the common
# names; the family-specific ones are the names the loader tries first
# (Python 3) or falls back to (Python 2, 64-bit, UCS4).
# Derived from the API table's own list (pybinding/py_lib_entries.inc),
# plus what the loader looks up beyond the table: the version, the
# creation function of each family.
set(FAKE_HOST_COMMON_NAMES)
set(_py3_only PyModule_Create2)
set(_py2_only Py_InitModule4_64)
file(STRINGS ${PROJECT_SOURCE_DIR}/pybinding/py_lib_entries.inc _entries REGEX "^PYLIB_ENTRY\\(")
foreach(_line IN LISTS _entries)
  string(REGEX MATCH "^PYLIB_ENTRY\\(-?[0-9]+, [A-Za-z_0-9]+, [A-Za-z]+, ([A-Za-z]+), ([A-Za-z0-9]+), \\(([^)]*)\\)" _ "${_line}")
  set(_need ${CMAKE_MATCH_1})
  set(_family ${CMAKE_MATCH_2})
  string(REPLACE "\"" "" _names "${CMAKE_MATCH_3}")
  string(REPLACE ", " ";" _names "${_names}")
  if(_need STREQUAL "Own" OR _need STREQUAL "Never")
    continue()
  endif()
  list(LENGTH _names _count)
  list(GET _names 0 _first)
  if(_family STREQUAL "Py3")
    list(APPEND _py3_only ${_first})
  elseif(_family STREQUAL "Py2")
    list(APPEND _py2_only ${_first})
  elseif(_count EQUAL 1)
    list(APPEND FAKE_HOST_COMMON_NAMES ${_first})
  else()
    # With alternatives the first name is Python 3's, the second Python 2's.
    list(GET _names 1 _second)
    list(APPEND _py3_only ${_first})
    list(APPEND _py2_only ${_second})
  endif()
endforeach()
set(FAKE_HOST_PY3_NAMES ${FAKE_HOST_COMMON_NAMES} ${_py3_only})
set(FAKE_HOST_PY2_NAMES ${FAKE_HOST_COMMON_NAMES} ${_py2_only})

# Names with a working fake behind them (fake_host_functions.inc); every
# other function name is a dummy that aborts when called.
set(FAKE_HOST_WORKING_NAMES
  PyModule_Create2 PyModule_Create2TraceRefs Py_InitModule4 Py_InitModule4_64
  PyErr_NewException PyModule_AddObject PyUnicode_FromString PyString_FromString
  PyTuple_New PyTuple_SetItem PyList_New PyList_SetItem PyErr_SetString PyErr_Occurred
  _Py_BuildValue_SizeT PyImport_ImportModule PyErr_Clear)
