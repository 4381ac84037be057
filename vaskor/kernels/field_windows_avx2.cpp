// AVX2 packing of wide fields (from kMinWindowField, what the narrow and
// paired kernels leave: 33 to 65 bits) through 16-byte windows.
//
// Each 128-bit half of a register builds the bytes from the one where a
// pair of fields starts up to the one where the next pair starts: the tail
// of the field before (the bits it leaves in the shared first byte), the
// pair itself, all shifted into place in two 64-bit words and byte-reversed.
// The halves are stored in order, each at its own byte, so a later store
// overwrites whatever an earlier one wrote past its pair. Every field sits
// in a fixed 64-bit lane, so the three sources (field before, field, field
// after) are plain loads or one byte shift, and no byte is combined in
// memory. 65-bit fields are a zero bit and the whole pattern: the eight of
// a group fill 64 bytes and one more, word k holding the tail of field k-1
// and the head of field k.
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "kernels/avx2.hpp"


namespace vaskor::detail {

namespace {

// A shift of 64 or more clears the lane: the "nothing this way" amount.
constexpr int kNone = 64;
constexpr int leftBy(int amount) { return amount >= 0 && amount < 64 ? amount : kNone; }
constexpr int rightBy(int amount) { return amount > 0 && amount < 64 ? amount : (amount == 0 ? 0 : kNone); }

template <int bitWidth>
struct Windows {
  static_assert(bitWidth >= 17 && bitWidth <= 64);  // a pair fits a window
  // Pair j of a block: fields 2j and 2j+1, from bit 2j*bitWidth, which is
  // bit `offset` of byte `start`.
  static constexpr int start(int pair) { return 2 * pair * bitWidth / 8; }
  static constexpr int offset(int pair) { return 2 * pair * bitWidth % 8; }

  // Lanes of a half: the high word (bits 0..63 of the window) and the low
  // word (64..127). Left and right shifts of each source per lane.
  // The field before: its last `offset` bits start the high word; the
  // pair's first field seen from the same load spills into the low word.
  static constexpr int beforeHigh(int j) { return leftBy(64 - offset(j)); }
  static constexpr int beforeLow(int j) { return leftBy(128 - offset(j) - bitWidth); }
  // The pair's first field in the high word, its second in the low word.
  static constexpr int firstLeft(int j) { return leftBy(64 - offset(j) - bitWidth); }
  static constexpr int firstRight(int j) { return offset(j) + bitWidth > 64 ? rightBy(offset(j) + bitWidth - 64) : kNone; }
  static constexpr int secondLeft(int j) { return leftBy(128 - offset(j) - 2 * bitWidth); }
  static constexpr int secondRight(int j) {
    return offset(j) + 2 * bitWidth > 128 ? rightBy(offset(j) + 2 * bitWidth - 128) : kNone;
  }
  // The pair's second field reaching back into the high word.
  static constexpr int secondHigh(int j) { return rightBy(offset(j) + 2 * bitWidth - 64); }
  static constexpr int secondHighLeft(int j) { return leftBy(64 - offset(j) - 2 * bitWidth); }
};

[[VASKOR_AVX2_INLINE]] inline __m256i lanes(int a, int b, int c, int d) { return _mm256_setr_epi64x(a, b, c, d); }
constexpr bool any(int a, int b, int c, int d) { return a < kNone || b < kNone || c < kNone || d < kNone; }

// Fields 4*step .. 4*step+3 of the block at `in` (pairs 2*step, 2*step+1):
// both windows stored; `top` keeps the largest value when asked.
template <int bitWidth, int step, bool largest>
[[VASKOR_AVX2_INLINE]] inline void packStep(const int64_t* in, uint8_t* out, RunningLargest& top) {
  using L = Windows<bitWidth>;
  constexpr int j0 = 2 * step, j1 = 2 * step + 1;
  const __m256i values = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * step));
  if constexpr (largest) top.take<step>(values);
  // The block's first field has nothing before it (and its lane is
  // cleared by the shift): taken from the same load, not from before `in`.
  const __m256i before = step == 0 ? _mm256_permute4x64_epi64(values, 0x90)
                                   : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * step - 1));
  __m256i fields = values;
  if constexpr (bitWidth < 64)
    fields = _mm256_and_si256(values, _mm256_set1_epi64x(static_cast<int64_t>((uint64_t{1} << bitWidth) - 1)));
  __m256i window = _mm256_setzero_si256();
  constexpr int b0 = L::beforeHigh(j0), b1 = L::beforeLow(j0), b2 = L::beforeHigh(j1), b3 = L::beforeLow(j1);
  if constexpr (any(b0, b1, b2, b3)) window = _mm256_sllv_epi64(before, lanes(b0, b1, b2, b3));
  constexpr int l0 = L::firstLeft(j0), l1 = L::secondLeft(j0), l2 = L::firstLeft(j1), l3 = L::secondLeft(j1);
  if constexpr (any(l0, l1, l2, l3)) window = _mm256_or_si256(window, _mm256_sllv_epi64(fields, lanes(l0, l1, l2, l3)));
  constexpr int r0 = L::firstRight(j0), r1 = L::secondRight(j0), r2 = L::firstRight(j1), r3 = L::secondRight(j1);
  if constexpr (any(r0, r1, r2, r3)) window = _mm256_or_si256(window, _mm256_srlv_epi64(fields, lanes(r0, r1, r2, r3)));
  constexpr int h0 = L::secondHigh(j0), h1 = L::secondHigh(j1);
  if constexpr (any(h0, kNone, h1, kNone))
    window = _mm256_or_si256(window, _mm256_srlv_epi64(_mm256_bsrli_epi128(fields, 8), lanes(h0, kNone, h1, kNone)));
  constexpr int e0 = L::secondHighLeft(j0), e1 = L::secondHighLeft(j1);
  if constexpr (any(e0, kNone, e1, kNone))
    window = _mm256_or_si256(window, _mm256_sllv_epi64(_mm256_bsrli_epi128(fields, 8), lanes(e0, kNone, e1, kNone)));
  window = reverseWords(window);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + L::start(j0)), _mm256_castsi256_si128(window));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + L::start(j1)), _mm256_extracti128_si256(window, 1));
}

template <int bitWidth, bool largest, int... step>
[[VASKOR_AVX2_INLINE]] inline void packSteps(const int64_t* in, uint8_t* out, RunningLargest& top, std::integer_sequence<int, step...>) {
  (packStep<bitWidth, step, largest>(in, out, top), ...);
}

// The last window of a block reaches up to 16 - bitWidth/4 bytes past it,
// which the next block overwrites; the call's last block goes through a
// copy.
template <int bitWidth, bool largest>
[[VASKOR_AVX2_TARGET]] int64_t packWindows(const int64_t* in, uint8_t* out, size_t blocks) {
  RunningLargest top;
  constexpr size_t blockBytes = 8 * bitWidth;
  for (size_t b = 0; b + 1 < blocks; ++b, in += kBlockFields, out += blockBytes)
    packSteps<bitWidth, largest>(in, out, top, std::make_integer_sequence<int, kBlockFields / 4>{});
  if (blocks > 0) {
    alignas(32) uint8_t last[blockBytes + 16];
    packSteps<bitWidth, largest>(in, last, top, std::make_integer_sequence<int, kBlockFields / 4>{});
    std::memcpy(out, last, blockBytes);
  }
  return largest ? top.value() : 0;
}

// 65 bits: word k of a group of eight is the last k bits of field k-1 and
// then the zero bit and the first 63-k bits of field k; the group's last
// byte is the last 8 bits of field 7.
template <bool largest>
[[VASKOR_AVX2_TARGET]] int64_t pack65(const int64_t* in, uint8_t* out, size_t blocks) {
  RunningLargest top;
  const size_t groups = blocks * (kBlockFields / 8);
  const __m256i firstBefore = lanes(64, 63, 62, 61), firstOwn = lanes(1, 2, 3, 4);
  const __m256i secondBefore = lanes(60, 59, 58, 57), secondOwn = lanes(5, 6, 7, 8);
  for (size_t g = 0; g < groups; ++g, in += 8, out += 65) {
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4));
    if constexpr (largest) {
      top.take<0>(first);
      top.take<1>(second);
    }
    // Field -1 lies before the group; its lane shifts out anyway.
    const __m256i firstBack = _mm256_permute4x64_epi64(first, 0x90);
    const __m256i secondBack = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 3));
    const __m256i low = _mm256_or_si256(_mm256_sllv_epi64(firstBack, firstBefore), _mm256_srlv_epi64(first, firstOwn));
    const __m256i high = _mm256_or_si256(_mm256_sllv_epi64(secondBack, secondBefore), _mm256_srlv_epi64(second, secondOwn));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), reverseWords(low));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), reverseWords(high));
    out[64] = static_cast<uint8_t>(in[7]);
  }
  return largest ? top.value() : 0;
}

template <int bitWidth>
void packEntry(const int64_t* in, uint8_t* out, size_t blocks) {
  if constexpr (bitWidth == 65)
    pack65<false>(in, out, blocks);
  else
    packWindows<bitWidth, false>(in, out, blocks);
}
template <int bitWidth>
int64_t packLargestEntry(const int64_t* in, uint8_t* out, size_t blocks) {
  if constexpr (bitWidth == 65)
    return pack65<true>(in, out, blocks);
  else
    return packWindows<bitWidth, true>(in, out, blocks);
}

}  // namespace

const PackingFamily& windowPacking() {
  static constexpr PackingFamily family{
      everyWidth<PackBlocks>([]<int w>() -> PackBlocks {
        if constexpr (w >= kMinWindowField) return &packEntry<w>;
        else return nullptr;
      }),
      everyWidth<PackBlocksLargest>([]<int w>() -> PackBlocksLargest {
        if constexpr (w >= kMinWindowField) return &packLargestEntry<w>;
        else return nullptr;
      }),
  };
  return family;
}

}  // namespace vaskor::detail
