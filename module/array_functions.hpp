// The bodies of the array functions: an encoder reads the items of any
// exported integer buffer, a decoder reads any buffer as bytes and writes
// into a new array.array or a caller's buffer. Buffers are taken once,
// with their sizes, and the codec runs with the interpreter lock released
// on large inputs.
#pragma once

#include <cstdint>
#include <span>

#include "pybinding/function_table.hpp"

namespace pyvaskor {

using namespace pybinding;

struct ArrayCodec {
  int64_t (*widthOf)(std::span<const int64_t>);
  uint64_t (*packedSize)(uint64_t, int64_t);
  void (*packInto)(std::span<const int64_t>, int64_t, uint8_t*);
  uint64_t (*decodedCount)(std::span<const uint8_t>, int64_t);
  uint64_t (*decodeInto)(std::span<const uint8_t>, int64_t, std::span<int64_t>);
};

// A list or tuple argument goes to the list function's body instead.
PyObject* encodeArray(const Call& call, const ArrayCodec& codec, PyObject* (*listBody)(const Call&));
PyObject* decodeArray(const Call& call, const ArrayCodec& codec);

}  // namespace pyvaskor
