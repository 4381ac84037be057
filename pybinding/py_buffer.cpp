#include "pybinding/py_buffer.hpp"

#include <cstring>

#include "pybinding/int_items.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/py_ref.hpp"

namespace pybinding {

namespace {

PyBufferHead& head(unsigned char* view) { return *reinterpret_cast<PyBufferHead*>(view); }

// C order: each stride is the item size times the items of the later
// dimensions; a dimension of one item may carry any stride, and an empty
// buffer is contiguous whatever its strides.
bool cContiguous(const PyBufferHead& b) {
  if (b.strides == nullptr || b.ndim <= 0) return true;
  Py_ssize_t expected = b.itemsize;
  for (int d = b.ndim - 1; d >= 0; --d) {
    if (b.shape[d] == 0) return true;
    if (b.shape[d] != 1 && b.strides[d] != expected) return false;
    expected *= b.shape[d];
  }
  return true;
}

}  // namespace

bool PyBuffer::hostHasBuffers() {
  return pyLib->PyObject_GetBuffer != nullptr && pyLib->PyBuffer_Release != nullptr;
}

bool PyBuffer::take(PyObject* o, bool writable) {
  release();
  if (hostHasBuffers()) {
    std::memset(view_, 0, hostProfile.bufferSize);
    const int flags = PyBUF_STRIDES | PyBUF_FORMAT | (writable ? PyBUF_WRITABLE : 0);
    if (pyLib->PyObject_GetBuffer(o, view_, flags) == 0) {
      const PyBufferHead& b = head(view_);
      taken_ = true;
      held_ = hostProfile.exportersHoldBuffers || typeOf(o) == pyLib->PyBytes_Type;
      data_ = b.buf;
      size_ = b.len > 0 ? static_cast<size_t>(b.len) : 0;
      itemSize_ = b.itemsize > 0 ? static_cast<size_t>(b.itemsize) : 1;
      format_ = b.format != nullptr ? b.format : "B";
      contiguous_ = b.suboffsets == nullptr && cContiguous(b);
      return true;
    }
    pyLib->PyErr_Clear();
  }
  return hostProfile.oldBuffers && takeOld(o, writable);
}

bool PyBuffer::retakeIfLoose(PyObject* o, bool writable) { return held_ || take(o, writable); }

bool PyBuffer::takeOld(PyObject* o, bool writable) {
  if (pyLib->PyObject_AsReadBuffer == nullptr || pyLib->PyObject_AsWriteBuffer == nullptr) return false;
  void* data = nullptr;
  Py_ssize_t len = 0;
  const int rc = writable ? pyLib->PyObject_AsWriteBuffer(o, &data, &len)
                          : pyLib->PyObject_AsReadBuffer(o, const_cast<const void**>(&data), &len);
  if (rc != 0) {
    pyLib->PyErr_Clear();
    return false;
  }
  oldFormat_[0] = 'B';
  if (PyRef code{PyRef::adopt(pyLib->PyObject_GetAttrString(o, "typecode"))}) {
    const char* text = pyLib->PyString_AsString(code.get());
    if (text != nullptr && text[0] != 0 && text[1] == 0) oldFormat_[0] = text[0];
  }
  pyLib->PyErr_Clear();
  data_ = data;
  size_ = len > 0 ? static_cast<size_t>(len) : 0;
  // No typecode, or one of no known size: bytes.
  const size_t size = typecodeSize(oldFormat_[0], false, false);
  itemSize_ = size != 0 ? size : 1;
  format_ = oldFormat_;
  contiguous_ = true;
  held_ = false;
  return true;
}

void PyBuffer::release() {
  if (taken_) pyLib->PyBuffer_Release(view_);
  taken_ = held_ = false;
  data_ = nullptr;
  size_ = 0;
}

}  // namespace pybinding
