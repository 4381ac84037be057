// The AVX-512 kernels (private; built only where the AVX-512 row is, run
// only where row_avx512.cpp says the processor serves it).
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/targets.hpp"

namespace vaskor::detail {

int64_t maxFromZeroAvx512(const int64_t* values, size_t count);

// Bit-packed blocks for fields of at most 8 bits. Eight such fields fill
// exactly bitWidth bytes, so eight values at a time are narrowed to bytes
// with one byte permute and their low bits gathered with one bit-extract
// (or spread with one bit-deposit).
inline constexpr int kMaxSmallField = 8;

// The contracts of Kernels::packBlocks, unpackBlocks and packBlocksLargest
// (the largest value worked out from the values as they pass), for
// 1 <= bitWidth <= kMaxSmallField.
void packSmallFields(int bitWidth, const int64_t* in, uint8_t* out, size_t blocks);
void unpackSmallFields(int bitWidth, const uint8_t* in, int64_t* out, size_t blocks);
int64_t packSmallFieldsLargest(int bitWidth, const int64_t* in, uint8_t* out, size_t blocks);

// Groups of eight fields of kMinWideField..kMaxWideField bits (bitWidth
// bytes each) with byte permutes: the contracts of the block kernels, by
// groups of 8 values instead of blocks of 64. Whole bytes are fields of 8
// times the byte width.
inline constexpr int kMinWideField = 8;
inline constexpr int kMaxWideField = 65;
void packWideFields(int bitWidth, const int64_t* in, uint8_t* out, size_t groups);
int64_t packWideFieldsLargest(int bitWidth, const int64_t* in, uint8_t* out, size_t groups);
void unpackWideFields(int bitWidth, const uint8_t* in, int64_t* out, size_t groups);
void unpackWideGroupsAvx512(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth, int64_t* out, size_t count);
void packWholeAvx512(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
int64_t packWholeLargestAvx512(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
void unpackWholeAvx512(int byteWidth, const uint8_t* in, size_t size, int64_t* out);

}  // namespace vaskor::detail
