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

// The tuple of an encoded pair of `size` bytes and `width`, with the bytes
// written by `fill(storage)` straight into the new bytes object (filled
// before anything else can see it) instead of being copied there from a
// native sequence. Null with the host's error set when the host could not
// make an object; nothing half-built is left behind.
template <class Fill>
PyObject* newEncodedPair(size_t size, int64_t width, Fill&& fill) {
  PyObject* tuple = pybinding::pyLib->PyTuple_New(2);
  if (tuple == nullptr) return nullptr;
  uint8_t* storage = nullptr;
  PyObject* bytes = newPairBytes(size, storage);
  if (bytes == nullptr) {
    pybinding::decRef(tuple);
    return nullptr;
  }
  if (size > 0) fill(storage);
  return finishPair(tuple, bytes, width);
}

}  // namespace pyvaskor
