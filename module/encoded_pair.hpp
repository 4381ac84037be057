// The (bytes, int) result of an encoder: the packed bytes and their width.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pybinding/py_lib.hpp"
#include "pybinding/py_ref.hpp"

namespace pyvaskor {

using pybinding::PyObject;

// The bytes object of `size` bytes for an encoded pair and its storage, or
// null (host error set).
PyObject* newPairBytes(size_t size, uint8_t*& storage);

// Stores `bytes` (a new reference) and the width into `tuple`; releases both
// and returns null when the host cannot make the int.
PyObject* finishPair(PyObject* tuple, PyObject* bytes, int64_t width);

// Packed bytes up to this many are packed on the stack first.
inline constexpr size_t kSmallPairBytes = 64;

// The tuple of an encoded pair of `size` bytes and `width`, with the bytes
// written by `fill(storage)` straight into the new bytes object (filled
// before anything else can see it) instead of being copied there from a
// native sequence. Null with the host's error set when the host could not
// make an object; nothing half-built is left behind.
template <class Fill>
PyObject* newEncodedPair(size_t size, int64_t width, Fill&& fill) {
  PyObject* tuple = pybinding::pyLib->PyTuple_New(2);
  if (tuple == nullptr) return nullptr;
  PyObject* bytes;
  if (size <= kSmallPairBytes) {
    // Packed here and copied by the host as it makes the bytes object: one
    // host call where asking for its storage takes two (short calls).
    uint8_t small[kSmallPairBytes];
    if (size > 0) fill(small);
    bytes = pybinding::pyLib->PyBytes_FromStringAndSize(reinterpret_cast<const char*>(small),
                                                        static_cast<pybinding::Py_ssize_t>(size));
  } else {
    uint8_t* storage = nullptr;
    bytes = newPairBytes(size, storage);
    if (bytes != nullptr) fill(storage);
  }
  if (bytes == nullptr) {
    pybinding::decRef(tuple);
    return nullptr;
  }
  return finishPair(tuple, bytes, width);
}

}  // namespace pyvaskor
