// The decoders' result: a new array.array of 8-byte signed integers ('q';
// 'l' on Python 2, which has no 'q') whose storage the codec then fills.
#pragma once

#include <cstdint>

#include "pybinding/py_ref.hpp"

namespace pybinding {

// An array of `count` items and its storage. Where the array's layout was
// verified on arrays the host made, the storage is allocated here and left
// for the caller to fill (with the interpreter lock released, so a large
// result's first writes, and their page faults, run in parallel threads);
// elsewhere the array is [0] * count.
PyRef newInt64Array(uint64_t count, int64_t*& storage);

}  // namespace pybinding
