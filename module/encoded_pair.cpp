#include "module/encoded_pair.hpp"

#include "pybinding/conversion.hpp"
#include "pybinding/huge_pages.hpp"

namespace pyvaskor {

using namespace pybinding;

PyObject* newPairBytes(size_t size, uint8_t*& storage) {
  PyObject* bytes = pyLib->PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size));
  if (bytes == nullptr || size == 0) return bytes;
  char* buf = nullptr;
  Py_ssize_t len = 0;
  if (pyLib->PyBytes_AsStringAndSize(bytes, &buf, &len) != 0) {
    decRef(bytes);
    return nullptr;
  }
  storage = reinterpret_cast<uint8_t*>(buf);
  adviseHugePages(storage, size);
  return bytes;
}

PyObject* finishPair(PyObject* tuple, PyObject* bytes, int64_t width) {
  PyObject* w = nativeValueToPy(width);
  if (w == nullptr) {
    decRef(bytes);
    decRef(tuple);
    return nullptr;
  }
  if (PyObject** slots = newTupleSlots(tuple)) {
    slots[0] = bytes;
    slots[1] = w;
  } else {
    pyLib->PyTuple_SetItem(tuple, 0, bytes);
    pyLib->PyTuple_SetItem(tuple, 1, w);
  }
  return tuple;
}

}  // namespace pyvaskor
