// Groups wider than a block field, eight at a time: the eight groups of w
// bits span exactly w bytes, so each of them starts at the same place
// within every eight. Only a group's last 64 bits count: the 8 bytes where
// they start, byte-reversed, and the ninth, shifted together.
// Up to 127 bits the eight groups lie in two 64-byte registers, read as
// big-endian words, and two word permutes pick each group's two words (byte
// permutes across two registers measured a third slower); up to 255 bits in
// four, picked from each pair. Wider ones are loaded 16 bytes per group,
// four groups to a register, and byte-shuffled within each 16.
// (Gathers measured slower here than the scalar loop.)
#include <immintrin.h>

#include <algorithm>

#include "kernels/avx512.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

namespace {

constexpr uint64_t kMaxPermutedGroup = 127;      // eight groups and a byte in two registers
constexpr uint64_t kMaxPermutedFourGroup = 255;  // and in four
constexpr __mmask8 kAll = 0xFF;

// Where the last 64 bits of group `lane` of each eight start, in bits from
// `firstBit`'s byte.
uint64_t lastBitsOf(uint64_t firstBit, uint64_t bitWidth, uint64_t lane) {
  return firstBit % 8 + (lane + 1) * bitWidth - 64;
}

// The 64 * registers bytes of an eight read as big-endian words; a group's
// last 64 bits are the word they start in and the next, shifted together
// (a shift by 64 gives 0). With four registers each word is picked from
// both pairs and the pair its index lies in kept.
template <int registers>
[[VASKOR_AVX512_TARGET]] size_t permuted(const uint8_t* start, uint64_t firstBit, uint64_t bitWidth, int64_t* out,
                                         size_t count) {
  constexpr size_t window = 64 * registers;
  const size_t bytes = (firstBit % 8 + count * bitWidth + 7) / 8;  // from `start`
  alignas(64) int64_t firstWord[8], nextWord[8], shiftUp[8], shiftDown[8];
  __mmask8 firstInHighPair = 0, nextInHighPair = 0;
  for (uint64_t lane = 0; lane < 8; ++lane) {
    const uint64_t from = lastBitsOf(firstBit, bitWidth, lane);
    firstWord[lane] = static_cast<int64_t>(from / 64 % 16);
    nextWord[lane] = static_cast<int64_t>((from / 64 + 1) % 16);
    if (from / 64 >= 16) firstInHighPair |= static_cast<__mmask8>(1 << lane);
    if (from / 64 + 1 >= 16) nextInHighPair |= static_cast<__mmask8>(1 << lane);
    shiftUp[lane] = static_cast<int64_t>(from % 64);
    shiftDown[lane] = static_cast<int64_t>(64 - from % 64);
  }
  const __m512i pickFirst = _mm512_load_si512(firstWord), pickNext = _mm512_load_si512(nextWord);
  const __m512i up = _mm512_load_si512(shiftUp), down = _mm512_load_si512(shiftDown);
  const __m512i bigEndian =
      _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_set_epi8(8, 9, 10, 11, 12, 13, 14, 15, 0, 1, 2, 3, 4, 5, 6, 7));
  // Eights whose window stays inside the data.
  const size_t direct = bytes >= window ? std::min(count / 8, (bytes - window) / bitWidth + 1) : 0;
  for (size_t g = 0; g < direct; ++g) {
    const uint8_t* at = start + g * bitWidth;
    __m512i words[registers];
    for (int r = 0; r < registers; ++r) words[r] = _mm512_shuffle_epi8(_mm512_loadu_si512(at + 64 * r), bigEndian);
    __m512i first = _mm512_permutex2var_epi64(words[0], pickFirst, words[1]);
    __m512i next = _mm512_permutex2var_epi64(words[0], pickNext, words[1]);
    if constexpr (registers == 4) {
      first = _mm512_mask_blend_epi64(firstInHighPair, first, _mm512_permutex2var_epi64(words[2], pickFirst, words[3]));
      next = _mm512_mask_blend_epi64(nextInHighPair, next, _mm512_permutex2var_epi64(words[2], pickNext, words[3]));
    }
    _mm512_storeu_si512(out + 8 * g, _mm512_or_si512(_mm512_maskz_sllv_epi64(kAll, first, up),
                                                     _mm512_maskz_srlv_epi64(kAll, next, down)));
  }
  return 8 * direct;
}

// Four 16-byte windows, from `at` plus each of the four offsets.
[[VASKOR_AVX512_INLINE]] inline __m512i fourWindows(const uint8_t* at, const size_t* offset) {
  __m512i v = _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset[0])));
  v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset[1])), 1);
  v = _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset[2])), 2);
  return _mm512_inserti32x4(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + offset[3])), 3);
}

[[VASKOR_AVX512_TARGET]] size_t windowed(const uint8_t* start, uint64_t firstBit, uint64_t bitWidth, int64_t* out,
                                         size_t count) {
  const size_t bytes = (firstBit % 8 + count * bitWidth + 7) / 8;  // from `start`
  // Group k of each eight starts offset[k] bytes in; its result is built
  // in the low word of its 16 bytes, shifted by the bits before it there.
  size_t offset[8];
  alignas(64) int64_t shifts[16] = {};  // groups 0-3 in the low words of the first 8, 4-7 of the next
  for (uint64_t lane = 0; lane < 8; ++lane) {
    const uint64_t from = lastBitsOf(firstBit, bitWidth, lane);
    offset[lane] = from / 8;
    shifts[2 * lane] = static_cast<int64_t>(from % 8);
  }
  // In each 16: the first 8 bytes reversed into the low word, the high word
  // zero; and the ninth byte alone in the low word.
  // (An index with its top bit set gives a zero byte.)
  const __m512i reverse8 =
      _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_set_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 0, 1, 2, 3, 4, 5, 6, 7));
  const __m512i ninth8 =
      _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_set_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 8));
  const __m512i lowShift = _mm512_load_si512(shifts), highShift = _mm512_load_si512(shifts + 8);
  const __m512i eight = _mm512_set1_epi64(8);
  const __m512i lowNinthShift = _mm512_maskz_sub_epi64(kAll, eight, lowShift);
  const __m512i highNinthShift = _mm512_maskz_sub_epi64(kAll, eight, highShift);
  const __m512i evenWords = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
  // Eights whose windows stay inside the data (the last lane's reaches furthest).
  const size_t reach = offset[7] + 16;
  const size_t direct = bytes >= reach ? std::min(count / 8, (bytes - reach) / bitWidth + 1) : 0;
  for (size_t g = 0; g < direct; ++g) {
    const uint8_t* at = start + g * bitWidth;
    const __m512i low = fourWindows(at, offset), high = fourWindows(at, offset + 4);
    const __m512i lowValues =
        _mm512_or_si512(_mm512_maskz_sllv_epi64(kAll, _mm512_shuffle_epi8(low, reverse8), lowShift),
                        _mm512_maskz_srlv_epi64(kAll, _mm512_shuffle_epi8(low, ninth8), lowNinthShift));
    const __m512i highValues =
        _mm512_or_si512(_mm512_maskz_sllv_epi64(kAll, _mm512_shuffle_epi8(high, reverse8), highShift),
                        _mm512_maskz_srlv_epi64(kAll, _mm512_shuffle_epi8(high, ninth8), highNinthShift));
    _mm512_storeu_si512(out + 8 * g, _mm512_permutex2var_epi64(lowValues, evenWords, highValues));
  }
  return 8 * direct;
}

}  // namespace

[[VASKOR_AVX512_TARGET]] void unpackWideGroupsAvx512(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth,
                                                     int64_t* out, size_t count) {
  const uint8_t* start = data + firstBit / 8;
  size_t done;
  if (bitWidth <= kMaxPermutedGroup)
    done = permuted<2>(start, firstBit, bitWidth, out, count);
  else if (bitWidth <= kMaxPermutedFourGroup)
    done = permuted<4>(start, firstBit, bitWidth, out, count);
  else
    done = windowed(start, firstBit, bitWidth, out, count);
  unpackWideGroupsScalar(data, firstBit + done * bitWidth, bitWidth, out + done, count - done);
}

}  // namespace vaskor::detail
