// AVX2 block kernels of the bit-packed codec, one instance per bit width;
// every shift and byte position inside a block is known at compile time.
//
// Packing (of the narrower fields) builds the block's 64-bit words four at a time: each word is the
// OR of the fields that reach it, every field moved to its place by a
// per-lane variable shift (a field outside the word shifts out to zero), so
// no byte is ever combined in memory. Unpacking moves each field's bytes
// into a lane with one byte shuffle and shifts it down: a 32-bit lane where
// the field lies within four bytes, else a 64-bit one.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "kernels/avx2.hpp"


namespace vaskor::detail {

namespace {

constexpr int smaller(int a, int b) { return a < b ? a : b; }

// Field i of a block occupies bits [i*bitWidth, (i+1)*bitWidth), most
// significant first; its payload is the last kPayloadBits of them (a 65-bit
// field is a 0 bit and then the whole pattern).
template <int bitWidth>
struct Layout {
  static constexpr int kPayloadBits = bitWidth < 64 ? bitWidth : 64;
  static constexpr int kLeadBits = bitWidth - kPayloadBits;
  static constexpr uint64_t kFieldMask = bitWidth < 64 ? (uint64_t{1} << (bitWidth % 64)) - 1 : ~uint64_t{0};

  // Shifts that move field i into output word `word`: left when the field
  // ends inside or after the word's end, right otherwise; 64 means nothing
  // that way.
  static constexpr int left(int word, int i) {
    const int gap = 64 * (word + 1) - (i + 1) * bitWidth;
    return gap >= 0 ? smaller(gap, 64) : 64;
  }
  static constexpr int right(int word, int i) {
    const int overhang = (i + 1) * bitWidth - 64 * (word + 1);
    return overhang > 0 ? smaller(overhang, 64) : 64;
  }
  // The fields that reach word `word`.
  static constexpr int firstField(int word) { return 64 * word / bitWidth; }
  static constexpr int lastField(int word) { return smaller(63, (64 * word + 63 - kLeadBits) / bitWidth); }

  // Within a group of 8 fields (bitWidth bytes): where each payload starts.
  static constexpr int byteAt(int field) { return (field * bitWidth + kLeadBits) / 8; }
  static constexpr int bitAt(int field) { return (field * bitWidth + kLeadBits) % 8; }
  // Every payload lies within the 8 bytes from its first one.
  static constexpr bool kWithinEightBytes = [] {
    for (int field = 0; field < 8; ++field)
      if (bitAt(field) + kPayloadBits > 64) return false;
    return true;
  }();
  // Bytes from a group's start that its unpacking reads.
  static constexpr int kGroupReach = byteAt(6) + 16;
};

// ---- packing ----

// The four fields from `firstOfFour` moved into output word `word`, OR-ed
// lanewise into `lanes` (fields that miss the word contribute nothing).
template <int bitWidth, int word, int firstOfFour>
[[VASKOR_AVX2_INLINE]] inline void addFour(const int64_t* in, __m256i& lanes) {
  using L = Layout<bitWidth>;
  __m256i fields = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + firstOfFour));
  if constexpr (bitWidth < 64) fields = _mm256_and_si256(fields, _mm256_set1_epi64x(static_cast<int64_t>(L::kFieldMask)));
  constexpr int l0 = L::left(word, firstOfFour), l1 = L::left(word, firstOfFour + 1),
                l2 = L::left(word, firstOfFour + 2), l3 = L::left(word, firstOfFour + 3);
  constexpr int r0 = L::right(word, firstOfFour), r1 = L::right(word, firstOfFour + 1),
                r2 = L::right(word, firstOfFour + 2), r3 = L::right(word, firstOfFour + 3);
  if constexpr (l0 < 64 || l1 < 64 || l2 < 64 || l3 < 64)
    lanes = _mm256_or_si256(lanes, _mm256_sllv_epi64(fields, _mm256_setr_epi64x(l0, l1, l2, l3)));
  if constexpr (r0 < 64 || r1 < 64 || r2 < 64 || r3 < 64)
    lanes = _mm256_or_si256(lanes, _mm256_srlv_epi64(fields, _mm256_setr_epi64x(r0, r1, r2, r3)));
}

// Output word `word` of the block, spread over four lanes still to be OR-ed
// together: the fields that reach it, four per load (the last load moves
// back so that it stays within the block).
template <int bitWidth, int word, int... load>
[[VASKOR_AVX2_INLINE]] inline void addLoads(const int64_t* in, __m256i& lanes, std::integer_sequence<int, load...>) {
  (addFour<bitWidth, word, smaller(Layout<bitWidth>::firstField(word) + 4 * load, 60)>(in, lanes), ...);
}

template <int bitWidth, int word>
[[VASKOR_AVX2_INLINE]] inline __m256i wordLanes(const int64_t* in) {
  using L = Layout<bitWidth>;
  __m256i lanes = _mm256_setzero_si256();
  if constexpr (word < bitWidth)
    addLoads<bitWidth, word>(in, lanes,
                             std::make_integer_sequence<int, (L::lastField(word) - L::firstField(word)) / 4 + 1>{});
  return lanes;
}

// Output words 4*step .. 4*step+3 of the block: the lanes of each OR-ed,
// byte order made big-endian, and stored.
template <int bitWidth, int step>
[[VASKOR_AVX2_INLINE]] inline void packStep(const int64_t* in, uint8_t* out) {
  const __m256i w0 = wordLanes<bitWidth, 4 * step>(in), w1 = wordLanes<bitWidth, 4 * step + 1>(in);
  const __m256i w2 = wordLanes<bitWidth, 4 * step + 2>(in), w3 = wordLanes<bitWidth, 4 * step + 3>(in);
  const __m256i pairs01 = _mm256_or_si256(_mm256_unpacklo_epi64(w0, w1), _mm256_unpackhi_epi64(w0, w1));
  const __m256i pairs23 = _mm256_or_si256(_mm256_unpacklo_epi64(w2, w3), _mm256_unpackhi_epi64(w2, w3));
  __m256i words = _mm256_or_si256(_mm256_permute2x128_si256(pairs01, pairs23, 0x20),
                                  _mm256_permute2x128_si256(pairs01, pairs23, 0x31));
  words = reverseWords(words);
  constexpr int wordCount = smaller(4, bitWidth - 4 * step);
  uint8_t* to = out + 32 * step;
  if constexpr (wordCount == 4) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), words);
  } else {
    const __m128i low = _mm256_castsi256_si128(words);
    if constexpr (wordCount >= 2)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), low);
    else
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to), low);
    if constexpr (wordCount == 3)
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 16), _mm256_extracti128_si256(words, 1));
  }
}

template <int bitWidth, int... step>
[[VASKOR_AVX2_INLINE]] inline void packSteps(const int64_t* in, uint8_t* out, std::integer_sequence<int, step...>) {
  (packStep<bitWidth, step>(in, out), ...);
}

// Widths below kMinWindowField (the wider ones go through windows, see
// field_windows_avx2.cpp).
template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void packBlock(const int64_t* in, uint8_t* out) {
  packSteps<bitWidth>(in, out, std::make_integer_sequence<int, (bitWidth + 3) / 4>{});
}

template <int bitWidth>
[[VASKOR_AVX2_TARGET]] void pack(const int64_t* in, uint8_t* out, size_t blocks) {
  for (size_t b = 0; b < blocks; ++b, in += kBlockFields, out += 8 * bitWidth) packBlock<bitWidth>(in, out);
}

// The same, the largest value of each block taken right after the block is
// packed, while its values are in the first-level cache.
template <int bitWidth>
[[VASKOR_AVX2_TARGET]] int64_t packLargest(const int64_t* in, uint8_t* out, size_t blocks) {
  RunningLargest top;
  for (size_t b = 0; b < blocks; ++b, in += kBlockFields, out += 8 * bitWidth) {
    packBlock<bitWidth>(in, out);
    for (int k = 0; k < kBlockFields; k += 16) {
      top.take<0>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k)));
      top.take<1>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 4)));
      top.take<2>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 8)));
      top.take<3>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + k + 12)));
    }
  }
  return top.value();
}

// ---- unpacking ----

[[VASKOR_AVX2_INLINE]] inline __m128i window(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Fields firstField .. firstField+3 of the group at `group`.
template <int bitWidth, int firstField>
[[VASKOR_AVX2_INLINE]] inline void unpackFour(const uint8_t* group, int64_t* out) {
  using L = Layout<bitWidth>;
  const __m256i shifts = _mm256_setr_epi64x(L::bitAt(firstField), L::bitAt(firstField + 1),
                                            L::bitAt(firstField + 2), L::bitAt(firstField + 3));
  // One window per half; lane l of half h takes the 8 bytes of its field,
  // reversed into a native word. (Fields that may reach a ninth byte are
  // unpacked word-wise below.)
  static_assert(L::kWithinEightBytes);
  constexpr int from0 = L::byteAt(firstField), from2 = L::byteAt(firstField + 2);
  constexpr int at1 = L::byteAt(firstField + 1) - from0, at3 = L::byteAt(firstField + 3) - from2;
  const __m256i bytes = _mm256_inserti128_si256(_mm256_castsi128_si256(window(group + from0)), window(group + from2), 1);
  const __m256i pick = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, at1 + 7, at1 + 6, at1 + 5, at1 + 4, at1 + 3, at1 + 2,
                                        at1 + 1, at1, 7, 6, 5, 4, 3, 2, 1, 0, at3 + 7, at3 + 6, at3 + 5, at3 + 4,
                                        at3 + 3, at3 + 2, at3 + 1, at3);
  __m256i fields = _mm256_sllv_epi64(_mm256_shuffle_epi8(bytes, pick), shifts);
  fields = _mm256_srlv_epi64(fields, _mm256_set1_epi64x(64 - L::kPayloadBits));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), fields);
}

// Fields within four bytes: the eight of a group go through 32-bit lanes,
// one shuffle and two shifts for eight fields, widened to 64 bits on the
// way out.
template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void unpackEightNarrow(const uint8_t* group, int64_t* out) {
  using L = Layout<bitWidth>;
  static_assert(kFieldsWithinFourBytes<bitWidth>);
  constexpr int from4 = L::byteAt(4);
  // Byte k of lane i (of half h) is byte 3 - k of field 4h + i's four.
  alignas(32) static constexpr auto kOrder = [] {
    std::array<uint8_t, 32> order{};
    for (int j = 0; j < 32; ++j) {
      const int half = j / 16, lane = j % 16 / 4, k = j % 4;
      order[j] = static_cast<uint8_t>(L::byteAt(4 * half + lane) - L::byteAt(4 * half) + 3 - k);
    }
    return order;
  }();
  const __m256i order = _mm256_load_si256(reinterpret_cast<const __m256i*>(kOrder.data()));
  const __m256i bytes = _mm256_inserti128_si256(_mm256_castsi128_si256(window(group)), window(group + from4), 1);
  const __m256i shifts = _mm256_setr_epi32(L::bitAt(0), L::bitAt(1), L::bitAt(2), L::bitAt(3), L::bitAt(4),
                                           L::bitAt(5), L::bitAt(6), L::bitAt(7));
  const __m256i fields =
      _mm256_srli_epi32(_mm256_sllv_epi32(_mm256_shuffle_epi8(bytes, order), shifts), 32 - bitWidth);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_cvtepu32_epi64(_mm256_castsi256_si128(fields)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4), _mm256_cvtepu32_epi64(_mm256_extracti128_si256(fields, 1)));
}

template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void unpackGroup(const uint8_t* group, int64_t* out) {
  if constexpr (kFieldsWithinFourBytes<bitWidth>) {
    unpackEightNarrow<bitWidth>(group, out);
  } else {
    unpackFour<bitWidth, 0>(group, out);
    unpackFour<bitWidth, 4>(group, out + 4);
  }
}

// 65 bits: a group of eight is 65 bytes and field k is the last 63-k bits
// of word k (bytes 8k..8k+7) and the first k+1 bits of word k+1, so plain
// loads at every word and the next give each lane its two words.
[[VASKOR_AVX2_INLINE]] inline __m256i wordsAt(const uint8_t* p) {
  return reverseWords(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

[[VASKOR_AVX2_INLINE]] inline void unpackGroup65(const uint8_t* group, int64_t* out) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_or_si256(_mm256_sllv_epi64(wordsAt(group), _mm256_setr_epi64x(1, 2, 3, 4)),
                                      _mm256_srlv_epi64(wordsAt(group + 8), _mm256_setr_epi64x(63, 62, 61, 60))));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4),
                      _mm256_or_si256(_mm256_sllv_epi64(wordsAt(group + 32), _mm256_setr_epi64x(5, 6, 7, 8)),
                                      _mm256_srlv_epi64(wordsAt(group + 40), _mm256_setr_epi64x(59, 58, 57, 56))));
}

// 55 to 63 bits (used where a field may reach a ninth byte): field k > 0 of a group of eight starts in word k-1 (at
// bit 64 - k*(64 - bitWidth)) and ends in word k, so again each lane takes
// its two words from plain loads (field 0 lies in word 0 alone).
constexpr int kMinNearWord = 55;
// The 64 bits from bit `start` of `before` on (`back` is 64 - start),
// shifted down by `down`.
[[VASKOR_AVX2_INLINE]] inline __m256i bitsFrom(__m256i before, __m256i own, __m256i start, __m256i back, __m256i down) {
  return _mm256_srlv_epi64(_mm256_or_si256(_mm256_sllv_epi64(before, start), _mm256_srlv_epi64(own, back)), down);
}

template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void unpackGroupNearWord(const uint8_t* group, int64_t* out) {
  constexpr int lost = 64 - bitWidth;  // per field
  const __m256i low = wordsAt(group), high = wordsAt(group + 32);
  const __m256i lowBefore = _mm256_permute4x64_epi64(low, 0x90);  // lane 0 is shifted out
  const __m256i highBefore = wordsAt(group + 24);
  const __m256i drop = _mm256_set1_epi64x(lost);
  const __m256i startLow = _mm256_setr_epi64x(64, 64 - lost, 64 - 2 * lost, 64 - 3 * lost);
  const __m256i startHigh = _mm256_setr_epi64x(64 - 4 * lost, 64 - 5 * lost, 64 - 6 * lost, 64 - 7 * lost);
  const __m256i sixtyFour = _mm256_set1_epi64x(64);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      bitsFrom(lowBefore, low, startLow, _mm256_sub_epi64(sixtyFour, startLow), drop));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4),
                      bitsFrom(highBefore, high, startHigh, _mm256_sub_epi64(sixtyFour, startHigh), drop));
}

template <int bitWidth>
[[VASKOR_AVX2_TARGET]] void unpack(const uint8_t* in, int64_t* out, size_t blocks) {
  if constexpr (!Layout<bitWidth>::kWithinEightBytes && bitWidth >= kMinNearWord && bitWidth < 64) {
    // A group reads 64 bytes from its start: the last ones from a copy.
    const size_t groups = blocks * 8, total = groups * bitWidth;
    const size_t direct = stepsInside(groups, bitWidth, 64);
    size_t g = 0;
    for (; g < direct; ++g) unpackGroupNearWord<bitWidth>(in + bitWidth * g, out + 8 * g);
    alignas(32) uint8_t tail[3 * 64] = {};
    std::memcpy(tail, in + bitWidth * g, total - bitWidth * g);
    for (size_t t = 0; g < groups; ++g, ++t) unpackGroupNearWord<bitWidth>(tail + bitWidth * t, out + 8 * g);
  } else if constexpr (bitWidth == 65) {
    // Each group reads 7 bytes past itself: the last one from a copy.
    const size_t groups = blocks * 8;
    if (groups == 0) return;
    for (size_t g = 0; g + 1 < groups; ++g) unpackGroup65(in + 65 * g, out + 8 * g);
    alignas(32) uint8_t last[72] = {};
    std::memcpy(last, in + 65 * (groups - 1), 65);
    unpackGroup65(last, out + 8 * (groups - 1));
  } else {
    constexpr size_t reach = Layout<bitWidth>::kGroupReach;
    const size_t groups = blocks * 8;
    const size_t total = groups * bitWidth;
    // The groups whose reads stay inside the blocks; the last few are read
    // from a copy with room behind it.
    const size_t direct = stepsInside(groups, bitWidth, reach);
    size_t g = 0;
#pragma GCC unroll 4
    for (; g < direct; ++g) unpackGroup<bitWidth>(in + g * bitWidth, out + 8 * g);
    if (g == groups) return;
    alignas(32) uint8_t tail[2 * reach + 8] = {};
    std::memcpy(tail, in + g * bitWidth, total - g * bitWidth);
    for (size_t t = 0; g < groups; ++g, ++t) unpackGroup<bitWidth>(tail + t * bitWidth, out + 8 * g);
  }
}

}  // namespace

const PackingFamily& blockPacking() {
  static constexpr PackingFamily family{
      everyWidth<PackBlocks>([]<int w>() -> PackBlocks {
        if constexpr (w < kMinWindowField) return &pack<w>;
        else return nullptr;
      }),
      everyWidth<PackBlocksLargest>([]<int w>() -> PackBlocksLargest {
        if constexpr (w < kMinWindowField) return &packLargest<w>;
        else return nullptr;
      }),
  };
  return family;
}

const std::array<UnpackBlocks, kMaxBlockWidth + 1>& avx2UnpackBlocks() {
  static constexpr auto table = everyWidth<UnpackBlocks>([]<int w>() -> UnpackBlocks { return &unpack<w>; });
  return table;
}

}  // namespace vaskor::detail
