// The bodies of the array functions: an encoder reads the items of any
// exported integer buffer, a decoder reads any buffer as bytes and writes
// into a new array.array or a caller's buffer. Buffers are taken once,
// with their sizes, and the codec runs with the interpreter lock released
// on large inputs.
#pragma once

#include "pybinding/function_table.hpp"
#include "vaskor/codec.hpp"

namespace pyvaskor {

using namespace pybinding;

// A list or tuple argument goes to the list encoder's body instead.
PyObject* encodeArray(const Call& call, const vaskor::Codec& codec);
PyObject* decodeArray(const Call& call, const vaskor::Codec& codec);

}  // namespace pyvaskor
