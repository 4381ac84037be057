// The bodies of the frame functions: a frame is a packed column with a
// header that says how to unpack it (vaskor/frame.hpp). An encoder reads
// the items of any exported integer buffer as the frame's element type, a
// decoder reads any buffer as bytes and writes a new array.array of the
// frame's type or a caller's buffer, with the interpreter lock released on
// large inputs as the array functions do.
#pragma once

#include "pybinding/function_table.hpp"

namespace pyvaskor {

using namespace pybinding;

// frameEncode(a, layout='bpe', transform=None) -> bytes
PyObject* frameEncode(const Call& call);
// frameDecode(frame, out=None, start=0, stop=None) -> array.array of the
// values [start, stop), or the count written to out
PyObject* frameDecode(const Call& call);
// frameInfo(frame) -> dict of the header's fields and the blocks' schemes
PyObject* frameInfo(const Call& call);

}  // namespace pyvaskor
