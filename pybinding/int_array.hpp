// The decoders' result: a new array.array of integers whose storage the
// codec then fills.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pybinding/py_ref.hpp"

namespace pybinding {

// The array.array typecode of integers of `itemSize` bytes (1, 2, 4 or 8)
// and that signedness; 8 bytes is the profile's int64Typecode.
char intArrayTypecode(size_t itemSize, bool isSigned);

// An array of `count` items of that typecode and its storage. Where the
// array's layout was verified on arrays the host made, the storage is
// allocated here and left for the caller to fill (with the interpreter
// lock released, so a large result's first writes, and their page faults,
// run in parallel threads); elsewhere the array is [0] * count.
PyRef newIntArray(size_t itemSize, bool isSigned, uint64_t count, void*& storage);

}  // namespace pybinding
