#include "vaskor/small_fields.hpp"

#include <immintrin.h>

#include "vaskor/bit_blocks.hpp"
#include "vaskor/byte_order.hpp"

// The masked intrinsic forms (all lanes on where it matters) are used because
// GCC 12's plain forms warn about their own placeholder operand.
#define VASKOR_SMALL_FIELDS_TARGET gnu::target("avx512f,avx512vbmi,bmi2,movbe")

namespace vaskor::detail {

namespace {

// The low w bits of each of the eight bytes.
uint64_t laneMask(int w) { return 0x0101010101010101u * ((1u << w) - 1); }

// The fields of eight values in the low 8*w bits, value 0's on top.
[[VASKOR_SMALL_FIELDS_TARGET, gnu::always_inline]] inline uint64_t gatherEight(const int64_t* in, uint64_t mask) {
  // The low byte of each value into bytes 7..0, value 0 on top.
  const __m512i lowBytesTopFirst = _mm512_set_epi64(0, 0, 0, 0, 0, 0, 0, 0x0008101820283038);
  const __m512i picked = _mm512_maskz_permutexvar_epi8(0xFF, lowBytesTopFirst, _mm512_loadu_si512(in));
  const __m128i low = _mm512_maskz_extracti32x4_epi32(0xF, picked, 0);
  return _pext_u64(static_cast<uint64_t>(_mm_cvtsi128_si64(low)), mask);
}

// Eight values from the fields in the low 8*w bits, value 0's on top.
[[VASKOR_SMALL_FIELDS_TARGET, gnu::always_inline]] inline void spreadEight(uint64_t fields, uint64_t mask,
                                                                         int64_t* out) {
  // Spread, value k's field is byte 7 - k; that byte becomes the low byte of
  // lane k and the rest of the lane is zero.
  const __m512i topFirst = _mm512_set_epi64(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i spread = _mm_cvtsi64_si128(static_cast<long long>(_pdep_u64(fields, mask)));
  _mm512_storeu_si512(out, _mm512_maskz_permutexvar_epi8(0x0101010101010101, topFirst,
                                                         _mm512_castsi128_si512(spread)));
}

}  // namespace

[[VASKOR_SMALL_FIELDS_TARGET]] void packSmallFields(int w, const int64_t* in, uint8_t* out, size_t blocks) {
  const uint64_t mask = laneMask(w);
  const size_t groups = blocks * kBlockFields / 8;
  const size_t uw = static_cast<size_t>(w);
  const int shift = 64 - 8 * w;
  // Full 8-byte stores while they stay inside the blocks; the bytes past w
  // are rewritten by the next group.
  const size_t wide = groups * uw >= 8 ? (groups * uw - 8) / uw + 1 : 0;
  size_t g = 0;
#pragma GCC unroll 4
  for (; g < wide; ++g) storeBE64(out + g * uw, gatherEight(in + 8 * g, mask) << shift);
  for (; g < groups; ++g) {
    const uint64_t fields = gatherEight(in + 8 * g, mask);
    for (size_t k = 0; k < uw; ++k) out[g * uw + k] = static_cast<uint8_t>(fields >> (8 * (uw - 1 - k)));
  }
}

[[VASKOR_SMALL_FIELDS_TARGET]] void unpackSmallFields(int w, const uint8_t* in, int64_t* out, size_t blocks) {
  const uint64_t mask = laneMask(w);
  const size_t groups = blocks * kBlockFields / 8;
  const size_t uw = static_cast<size_t>(w);
  const int shift = 64 - 8 * w;
  // Never read past the blocks' bytes: the last ones end the caller's input.
  const size_t wide = groups * uw >= 8 ? (groups * uw - 8) / uw + 1 : 0;
  size_t g = 0;
#pragma GCC unroll 8
  for (; g < wide; ++g) spreadEight(loadBE64(in + g * uw) >> shift, mask, out + 8 * g);
  for (; g < groups; ++g) spreadEight(loadBETail(in + g * uw, uw), mask, out + 8 * g);
}

}  // namespace vaskor::detail
