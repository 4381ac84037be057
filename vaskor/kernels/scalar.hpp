// The portable kernels (private), which the wider rows also fall back on
// for what they leave over: the contracts are those of Kernels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

int64_t maxFromZeroScalar(const int64_t* values, size_t count);
void packWholeScalar(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
void unpackWholeScalar(int byteWidth, const uint8_t* in, size_t size, int64_t* out);
void unpackWideGroupsScalar(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth, int64_t* out, size_t count);

}  // namespace vaskor::detail
