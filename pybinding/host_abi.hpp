// The few host object layouts the module touches, declared from the host's
// published ABI (64-bit, ordinary object head) so that one binary serves
// every Python 2 and Python 3 host without the host's own headers.
#pragma once

#include <cstdint>
#include <sys/types.h>

namespace pybinding {

using Py_ssize_t = ssize_t;

struct PyTypeObject;

struct PyObject {
  Py_ssize_t ob_refcnt;
  PyTypeObject* ob_type;
};

struct PyVarObject {
  PyObject ob_base;
  Py_ssize_t ob_size;
};

using destructor = void (*)(PyObject*);

// Only the leading slots are read; the rest of the host's type is opaque.
struct PyTypeObject {
  PyVarObject ob_base;
  const char* tp_name;
  Py_ssize_t tp_basicsize;
  Py_ssize_t tp_itemsize;
  destructor tp_dealloc;
};

using PyCFunction = PyObject* (*)(PyObject*, PyObject*);
using PyCFunctionWithKeywords = PyObject* (*)(PyObject*, PyObject*, PyObject*);

constexpr int METH_VARARGS = 0x0001;
constexpr int METH_KEYWORDS = 0x0002;

struct PyMethodDef {
  const char* ml_name;
  PyCFunction ml_meth;
  int ml_flags;
  const char* ml_doc;
};

struct PyModuleDef_Base {
  PyObject ob_base;
  PyObject* (*m_init)();
  Py_ssize_t m_index;
  PyObject* m_copy;
};

struct PyModuleDef {
  PyModuleDef_Base m_base;
  const char* m_name;
  const char* m_doc;
  Py_ssize_t m_size;
  PyMethodDef* m_methods;
  void* m_slots;
  void* m_traverse;
  void* m_clear;
  void* m_free;
};

struct Py_complex {
  double real;
  double imag;
};

static_assert(sizeof(PyObject) == 16, "ordinary 64-bit object head");
static_assert(sizeof(PyMethodDef) == 32);
static_assert(sizeof(PyModuleDef) == 104);

}  // namespace pybinding
