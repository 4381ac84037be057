// Bit-packed blocks for fields of at most 8 bits (private). Eight such fields
// fill exactly W bytes, so eight values at a time are narrowed to bytes with
// one byte permute and their low W bits gathered with one bit-extract (or
// spread with one bit-deposit). They serve the AVX-512 row.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

inline constexpr int kMaxSmallField = 8;

// Same contract as BitBlock<W>::pack / unpack, for 1 <= w <= 8.
void packSmallFields(int w, const int64_t* in, uint8_t* out, size_t blocks);
void unpackSmallFields(int w, const uint8_t* in, int64_t* out, size_t blocks);
// packSmallFields that also returns the larger of 0 and the greatest value
// packed, worked out from the values as they pass (no second read).
int64_t packSmallFieldsLargest(int w, const int64_t* in, uint8_t* out, size_t blocks);

}  // namespace vaskor::detail
