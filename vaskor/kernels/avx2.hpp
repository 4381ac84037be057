// The AVX2 kernels (private; built only where the AVX2 row is, run only
// where row_avx2.cpp says the processor serves it).
#pragma once

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

#include "detail/kernels.hpp"
#include "kernels/targets.hpp"

namespace vaskor::detail {

// A family of packing kernels: by bit width, null where it does not serve
// that width. row_avx2.cpp picks, width by width, the first family that
// serves it in its order of preference.
struct PackingFamily {
  std::array<PackBlocks, kMaxBlockWidth + 1> pack;
  std::array<PackBlocksLargest, kMaxBlockWidth + 1> packLargest;
};

// Word-wise blocks (bit_blocks_avx2.cpp): packing below kMinWindowField,
// unpacking at every width.
const PackingFamily& blockPacking();
const std::array<UnpackBlocks, kMaxBlockWidth + 1>& avx2UnpackBlocks();

// Fields of kMinWindowField..kMaxBlockWidth bits packed through 16-byte
// windows. (Below 23 bits the word-wise blocks of bit_blocks_avx2.cpp
// measured faster.)
inline constexpr int kMinWindowField = 23;
// Where field `field` of a group of eight (fields of up to 64 bits) starts:
// its byte, and its bit within that byte.
constexpr int fieldByte(int bitWidth, int field) { return field * bitWidth / 8; }
constexpr int fieldBit(int bitWidth, int field) { return field * bitWidth % 8; }
// Fields that lie, with their bit offset, within four bytes: up to 25 bits,
// and 26, 28 and 32. They unpack through 32-bit lanes.
template <int bitWidth>
inline constexpr bool kFieldsWithinFourBytes = [] {
  for (int field = 0; field < 8; ++field)
    if (bitWidth < 1 || bitWidth > 32 || fieldBit(bitWidth, field) + bitWidth > 32) return false;
  return true;
}();
// Fields of 24 to 31 bits can also pack as pairs of fields
// (paired_fields_avx2.cpp); that is used at 25 and 27 to 31 bits, where it
// measured faster than the windows (27-31) and the narrow lanes (25); at
// 24, 26 and 32 the narrow lanes stay faster. The figures are the avx2
// table of bench/results/into_bench.md.
inline constexpr int kMinPairedField = 24;
template <int bitWidth>
inline constexpr bool kPacksPaired = bitWidth >= 25 && bitWidth <= 31 && bitWidth != 26;
const PackingFamily& pairedPacking();
// The rest of those that pack through 32-bit lanes (narrow_fields_avx2.cpp):
// 10, 11, 13 to 24 bits, 26 and 32. Measured against the kernels they
// replace, faster at 64Ki (17-26 and 32) and in the first-level cache
// (10-16). At 9, 12 and below the word-wise blocks, and at 28 the pairs,
// measured as fast or faster.
template <int bitWidth>
inline constexpr bool kPacksNarrow =
    kFieldsWithinFourBytes<bitWidth> && bitWidth >= 10 && bitWidth != 12 && bitWidth != 28 && !kPacksPaired<bitWidth>;
// Where the largest value is tracked as well (packing under a guessed
// width), they measured faster from 6 bits up: 0.16-0.18 ns a value at
// 1Mi values where the word-wise blocks took 0.18-0.30. (At 3 and 5 bits a
// byte can hold parts of three fields, more than their two shuffles pick;
// at 4 the blocks were as fast.)
template <int bitWidth>
inline constexpr bool kPacksNarrowLargest = kPacksNarrow<bitWidth> || (bitWidth >= 6 && bitWidth <= 16);
const PackingFamily& narrowPacking();
// Every width from kMinWindowField on (the row uses them from 33 bits on,
// where neither the narrow nor the paired kernels serve).
const PackingFamily& windowPacking();

// Each 64-bit lane byte-reversed: the bit stream's words are big-endian.
[[VASKOR_AVX2_INLINE]] inline __m256i reverseWords(__m256i v) {
  const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                           1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  return _mm256_shuffle_epi8(v, reverse);
}
int64_t maxFromZeroAvx2(const int64_t* values, size_t count);
// Lanewise the larger of `top` and `values` (AVX2 has no 64-bit max), and
// the largest lane of `top`, for the scans.
[[VASKOR_AVX2_INLINE]] inline __m256i keepLarger(__m256i top, __m256i values) {
  return _mm256_blendv_epi8(top, values, _mm256_cmpgt_epi64(values, top));
}
// The largest lane of `top` in every lane.
[[VASKOR_AVX2_INLINE]] inline __m256i spreadLargest(__m256i top) {
  const __m256i halves = keepLarger(top, _mm256_permute2x128_si256(top, top, 1));
  return keepLarger(halves, _mm256_shuffle_epi32(halves, 0x4E));
}
[[VASKOR_AVX2_INLINE]] inline int64_t largestLane(__m256i top) {
  return _mm256_extract_epi64(spreadLargest(top), 0);
}
// The largest value seen by a packing kernel, over four compare chains so
// that one chain's latency does not hold the pack back: step k of a block
// feeds chain k % 4.
struct RunningLargest {
  __m256i chain0, chain1, chain2, chain3;
  [[VASKOR_AVX2_INLINE]] RunningLargest()
      : chain0(_mm256_setzero_si256()), chain1(chain0), chain2(chain0), chain3(chain0) {}
  template <int step>
  [[VASKOR_AVX2_INLINE]] void take(__m256i values) {
    __m256i& chain = step % 4 == 0 ? chain0 : step % 4 == 1 ? chain1 : step % 4 == 2 ? chain2 : chain3;
    chain = keepLarger(chain, values);
  }
  [[VASKOR_AVX2_INLINE]] int64_t value() const {
    return largestLane(keepLarger(keepLarger(chain0, chain1), keepLarger(chain2, chain3)));
  }
};
void unpackWideGroupsAvx2(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth, int64_t* out, size_t count);
// They do the bulk and leave the rest to the scalar ones.
void packWholeAvx2(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
int64_t packWholeLargestAvx2(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
void unpackWholeAvx2(int byteWidth, const uint8_t* in, size_t size, int64_t* out);

}  // namespace vaskor::detail
