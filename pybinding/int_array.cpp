#include "pybinding/int_array.hpp"

#include "pybinding/huge_pages.hpp"
#include "pybinding/py_buffer.hpp"

namespace pybinding {

namespace {

// array.array, held for the rest of the process once found.
PyObject* arrayType() {
  static PyObject* type = nullptr;
  if (type == nullptr) {
    PyRef module = PyRef::adopt(pyLib->PyImport_ImportModule("array"));
    if (!module) return nullptr;
    type = pyLib->PyObject_GetAttrString(module.get(), "array");
  }
  return type;
}

// array(code) or array(code, [items...]), `args` building the arguments.
PyRef newArray(PyObject* type, PyObject* args) {
  PyRef held = PyRef::adopt(args);
  return held ? PyRef::adopt(pyLib->PyObject_Call(type, held.get(), nullptr)) : PyRef();
}

// Where the profile places them: the pointer to an array's items, and how
// many it has room for.
char*& arrayItems(PyObject* a) { return hostField<char*>(a, hostProfile.arrayItems); }
Py_ssize_t& arrayRoom(PyObject* a) { return hostField<Py_ssize_t>(a, hostProfile.arrayItems + 8); }

// Whether an empty array and one of three items the host made read back
// through that layout.
bool arrayLayoutHolds(PyObject* type) {
  if (hostProfile.arrayItems == 0) return false;
  const char code[] = {intArrayTypecode(8, true), 0};
  PyRef empty = newArray(type, pyLib->Py_BuildValue("(s)", code));
  PyRef three = newArray(type, pyLib->Py_BuildValue("(s[iii])", code, 5, -6, 7));
  const auto* exact = reinterpret_cast<PyTypeObject*>(type);
  bool holds = empty && three && typeOf(empty.get()) == exact && typeOf(three.get()) == exact &&
               varSize(empty.get()) == 0 && arrayItems(empty.get()) == nullptr && arrayRoom(empty.get()) == 0 &&
               varSize(three.get()) == 3 && arrayRoom(three.get()) >= 3;
  if (holds) {
    PyBuffer items;
    holds = items.take(three.get(), false) && items.size() == 24 && items.data() == reinterpret_cast<const uint8_t*>(arrayItems(three.get()));
    const auto* v = reinterpret_cast<const int64_t*>(arrayItems(three.get()));
    holds = holds && v[0] == 5 && v[1] == -6 && v[2] == 7;
  }
  pyLib->PyErr_Clear();
  return holds;
}

}  // namespace

char intArrayTypecode(size_t itemSize, bool isSigned) {
  char code = 'b';
  switch (itemSize) {
    case 2: code = 'h'; break;
    case 4: code = 'i'; break;
    case 8: code = hostProfile.int64Typecode; break;
    default: break;
  }
  return isSigned ? code : static_cast<char>(code - 'a' + 'A');
}

PyRef newIntArray(size_t itemSize, bool isSigned, uint64_t count, void*& storage) {
  PyObject* type = arrayType();
  if (type == nullptr) return PyRef();
  if (count > static_cast<uint64_t>(INT64_MAX) / itemSize) {
    pyLib->PyErr_SetString(pyLib->PyExc_MemoryError, "");
    return PyRef();
  }
  const size_t bytes = count * itemSize;
  const char code[] = {intArrayTypecode(itemSize, isSigned), 0};
  // The layout is that of every typecode's arrays; checked once, on one.
  static const bool direct = arrayLayoutHolds(type);
  if (direct) {
    PyRef a = newArray(type, pyLib->Py_BuildValue("(s)", code));
    if (!a || count == 0) return a;
    // The array frees its items with the host's PyMem_Free, as its own.
    void* items = pyLib->PyMem_Malloc(bytes);
    if (items == nullptr) {
      pyLib->PyErr_SetString(pyLib->PyExc_MemoryError, "");
      return PyRef();
    }
    adviseHugePages(items, bytes);
    arrayItems(a.get()) = static_cast<char*>(items);
    arrayRoom(a.get()) = static_cast<Py_ssize_t>(count);
    varSize(a.get()) = static_cast<Py_ssize_t>(count);
    storage = items;
    return a;
  }
  PyRef one = newArray(type, pyLib->Py_BuildValue("(s[i])", code, 0));
  if (!one) return PyRef();
  PyRef a = PyRef::adopt(pyLib->PySequence_Repeat(one.get(), static_cast<Py_ssize_t>(count)));
  if (!a || count == 0) return a;
  // The items of an array are where its buffer says.
  PyBuffer items;
  if (!items.take(a.get(), true) || items.size() != bytes) {
    pyLib->PyErr_SetString(pyLib->PyExc_TypeError, "array.array gave no writable buffer");
    return PyRef();
  }
  storage = items.writableData();
  return a;
}

}  // namespace pybinding
