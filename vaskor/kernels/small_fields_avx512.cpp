#include "kernels/avx512.hpp"

#include <immintrin.h>

#include "detail/kernels.hpp"
#include "detail/byte_order.hpp"

// The masked intrinsic forms (all lanes on where it matters) are used because
// GCC 12's plain forms warn about their own placeholder operand.

namespace vaskor::detail {

namespace {

// The low w bits of each of the eight bytes.
uint64_t laneMask(int w) { return 0x0101010101010101u * ((1u << w) - 1); }

// The fields of eight values in the low 8*w bits, value 0's on top, from
// the eight low bytes that `picked` holds in its bytes 7..0.
[[VASKOR_AVX512_INLINE]] inline uint64_t fieldsOf(__m512i picked, uint64_t mask) {
  const __m128i low = _mm512_maskz_extracti32x4_epi32(0xF, picked, 0);
  return _pext_u64(static_cast<uint64_t>(_mm_cvtsi128_si64(low)), mask);
}

// Byte k of the index picks the low byte of value 7 - k, `offset` bytes in.
[[VASKOR_AVX512_INLINE]] inline __m512i lowBytesTopFirst(uint64_t offset) {
  return _mm512_set_epi64(0, 0, 0, 0, 0, 0, 0, static_cast<int64_t>(0x0008101820283038 + 0x0101010101010101 * offset));
}

// Eight values from the fields in the low 8*w bits, value 0's on top.
[[VASKOR_AVX512_INLINE]] inline void spreadEight(uint64_t fields, uint64_t mask,
                                                                         int64_t* out) {
  // Spread, value k's field is byte 7 - k; that byte becomes the low byte of
  // lane k and the rest of the lane is zero.
  const __m512i topFirst = _mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i spread = _mm_cvtsi64_si128(static_cast<long long>(_pdep_u64(fields, mask)));
  _mm512_storeu_si512(out, _mm512_maskz_permutexvar_epi8(0x0101010101010101, topFirst,
                                                         _mm512_castsi128_si512(spread)));
}

// Groups of eight w-bit fields (w bytes each) as both directions walk them:
// the first `wide` groups with a full 8-byte access that stays inside the
// blocks' bytes, the rest byte by byte.
struct GroupPlan {
  GroupPlan(int w, size_t blocks)
      : mask(laneMask(w)),
        groups(blocks * kBlockFields / 8),
        bytes(static_cast<size_t>(w)),
        shift(64 - 8 * w),
        wide(groups * bytes >= 8 ? (groups * bytes - 8) / bytes + 1 : 0) {}
  uint64_t mask;
  size_t groups;
  size_t bytes;
  int shift;
  size_t wide;
};

// The larger of `top` and each of the eight values at `in` (lanewise), when
// the largest value is wanted.
template <bool Largest>
[[VASKOR_AVX512_INLINE]] inline void keepLargest(__m512i& top, __m512i values) {
  if constexpr (Largest) top = _mm512_maskz_max_epi64(0xFF, top, values);
}

// The fields of the eight values at `in`, wherever they lie; keeps their
// largest too when wanted.
template <bool Largest>
[[VASKOR_AVX512_INLINE]] inline uint64_t gatherEightKeeping(const int64_t* in, uint64_t mask,
                                                                                      __m512i& top) {
  const __m512i values = _mm512_loadu_si512(in);
  keepLargest<Largest>(top, values);
  return fieldsOf(_mm512_maskz_permutexvar_epi8(0xFF, lowBytesTopFirst(0), values), mask);
}

template <bool Largest>
[[VASKOR_AVX512_INLINE]] inline void packImpl(int w, const int64_t* in, uint8_t* out,
                                                                        size_t blocks, __m512i& top) {
  // Full 8-byte stores while they stay inside the blocks; the bytes past w
  // are rewritten by the next group.
  const auto [mask, groups, uw, shift, wide] = GroupPlan(w, blocks);
  size_t g = 0;
  // A group of eight values is one cache line's worth; when the input does
  // not start on a line, every group would straddle two. The groups between
  // the first and the last are then picked from two aligned lines at once
  // (those lines lie inside the input).
  const uint64_t offset = reinterpret_cast<uintptr_t>(in) % 64;
  if (offset != 0 && wide > 2) {
    storeBE64(out, gatherEightKeeping<Largest>(in, mask, top) << shift);
    const __m512i* line = reinterpret_cast<const __m512i*>(reinterpret_cast<uintptr_t>(in) - offset);
    const __m512i pick = lowBytesTopFirst(offset);
    __m512i left = _mm512_load_si512(line + 1);
    // Lines 1 .. wide - 1 hold every value the loop packs (and none past
    // the blocks), so their largest is the loop's.
    keepLargest<Largest>(top, left);
#pragma GCC unroll 4
    for (g = 1; g + 1 < wide; ++g) {
      const __m512i right = _mm512_load_si512(line + g + 1);
      keepLargest<Largest>(top, right);
      storeBE64(out + g * uw, fieldsOf(_mm512_maskz_permutex2var_epi8(0xFF, left, pick, right), mask) << shift);
      left = right;
    }
  }
#pragma GCC unroll 4
  for (; g < wide; ++g) storeBE64(out + g * uw, gatherEightKeeping<Largest>(in + 8 * g, mask, top) << shift);
  for (; g < groups; ++g) {
    const uint64_t fields = gatherEightKeeping<Largest>(in + 8 * g, mask, top);
    for (size_t k = 0; k < uw; ++k) out[g * uw + k] = static_cast<uint8_t>(fields >> (8 * (uw - 1 - k)));
  }
}

}  // namespace

[[VASKOR_AVX512_TARGET]] void packSmallFields(int w, const int64_t* in, uint8_t* out, size_t blocks) {
  __m512i unused = _mm512_setzero_si512();
  packImpl<false>(w, in, out, blocks, unused);
}

[[VASKOR_AVX512_TARGET]] int64_t packSmallFieldsLargest(int w, const int64_t* in, uint8_t* out, size_t blocks) {
  __m512i top = _mm512_setzero_si512();
  packImpl<true>(w, in, out, blocks, top);
  alignas(64) int64_t lanes[8];
  _mm512_store_si512(lanes, top);
  int64_t m = 0;
  for (const int64_t v : lanes) m = v > m ? v : m;
  return m;
}

[[VASKOR_AVX512_TARGET]] void unpackSmallFields(int w, const uint8_t* in, int64_t* out, size_t blocks) {
  // Never read past the blocks' bytes: the last ones end the caller's input.
  const auto [mask, groups, uw, shift, wide] = GroupPlan(w, blocks);
  size_t g = 0;
#pragma GCC unroll 8
  for (; g < wide; ++g) spreadEight(loadBE64(in + g * uw) >> shift, mask, out + 8 * g);
  for (; g < groups; ++g) spreadEight(loadBETail(in + g * uw, uw), mask, out + 8 * g);
}

}  // namespace vaskor::detail
