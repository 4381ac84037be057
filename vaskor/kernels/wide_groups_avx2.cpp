// Groups wider than a block field (an explicit decode width above 65 bits),
// four at a time: each group's last 64 bits lie in the 9 bytes from where
// they start, so one 16-byte load per group, byte-reversed into the word
// from its first byte and the word from its second, and the two shifted
// together. Eight groups span a whole number of bytes, so the shifts repeat
// every eight and are worked out once.
#include <immintrin.h>

#include "kernels/avx2.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

namespace {

[[VASKOR_AVX2_INLINE]] inline __m128i bytesAt(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Four groups whose last 64 bits start at bits from, from+w, ... of data.
[[VASKOR_AVX2_INLINE]] inline __m256i fourGroups(const uint8_t* data, uint64_t from, uint64_t w,
                                                                      __m256i shift, __m256i back) {
  // Per half: the word of bytes 0..7 and the word of bytes 1..8, big-endian.
  const __m256i pick = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 8, 7, 6, 5, 4, 3, 2, 1, 7, 6, 5, 4, 3, 2, 1, 0, 8, 7,
                                        6, 5, 4, 3, 2, 1);
  const __m256i even = _mm256_inserti128_si256(_mm256_castsi128_si256(bytesAt(data + (from >> 3))),
                                               bytesAt(data + ((from + 2 * w) >> 3)), 1);
  const __m256i odd = _mm256_inserti128_si256(_mm256_castsi128_si256(bytesAt(data + ((from + w) >> 3))),
                                              bytesAt(data + ((from + 3 * w) >> 3)), 1);
  const __m256i evenWords = _mm256_shuffle_epi8(even, pick), oddWords = _mm256_shuffle_epi8(odd, pick);
  // Where they overlap the two words agree, so OR-ing them is exact.
  const __m256i fromFirst = _mm256_unpacklo_epi64(evenWords, oddWords);
  const __m256i fromSecond = _mm256_unpackhi_epi64(evenWords, oddWords);
  return _mm256_or_si256(_mm256_sllv_epi64(fromFirst, shift), _mm256_srlv_epi64(fromSecond, back));
}

}  // namespace

[[VASKOR_AVX2_TARGET]] void unpackWideGroupsAvx2(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth,
                                                  int64_t* out, size_t count) {
  uint64_t from = firstBit + bitWidth - 64;  // the last 64 bits of group 0
  size_t k = 0;
  if (count > 8) {
    alignas(32) int64_t shifts[8];
    for (uint64_t j = 0; j < 8; ++j) shifts[j] = static_cast<int64_t>((from + j * bitWidth) % 8);
    const __m256i shiftLow = _mm256_load_si256(reinterpret_cast<const __m256i*>(shifts));
    const __m256i shiftHigh = _mm256_load_si256(reinterpret_cast<const __m256i*>(shifts + 4));
    const __m256i eight = _mm256_set1_epi64x(8);
    const __m256i backLow = _mm256_sub_epi64(eight, shiftLow), backHigh = _mm256_sub_epi64(eight, shiftHigh);
    // A group's 16 bytes end before the next group does (groups are over
    // 8 bytes), so while a group follows the eight, every load is inside.
    for (; k + 8 < count; k += 8, from += 8 * bitWidth) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), fourGroups(data, from, bitWidth, shiftLow, backLow));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k + 4),
                          fourGroups(data, from + 4 * bitWidth, bitWidth, shiftHigh, backHigh));
    }
  }
  unpackWideGroupsScalar(data, firstBit + k * bitWidth, bitWidth, out + k, count - k);
}

}  // namespace vaskor::detail
