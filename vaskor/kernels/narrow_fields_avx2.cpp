// AVX2 packing of fields that lie, with their bit offset, within four bytes
// (kPacksNarrow, and kPacksNarrowLargest where the largest value is
// tracked), eight at a time.
//
// The eight values are narrowed to 32-bit lanes, fields 0-3 in the low half
// and 4-7 in the high one, and each is shifted to its place in the four
// bytes from the one where it starts. Two byte shuffles per half then pick
// every output byte from the (at most two) fields that reach it. With an
// odd width the halves share the byte in the middle, whose first bits the
// low half holds. The low half is stored, then the high one at its own
// byte, so each store overwrites what the one before wrote past its bytes;
// the last groups of a call, whose stores would pass its end, go through a
// copy instead.
#include <immintrin.h>

#include <array>
#include <cstring>
#include <utility>

#include "kernels/avx2.hpp"


namespace vaskor::detail {

namespace {

template <int bitWidth>
struct Narrow {
  static constexpr int byteAt(int field) { return fieldByte(bitWidth, field); }
  static constexpr int bitAt(int field) { return fieldBit(bitWidth, field); }
  // Where the high half's bytes go, from the group's start.
  static constexpr int kHighFrom = byteAt(4);
  static constexpr bool kSharedMiddle = 4 * bitWidth % 8 != 0;

  // Shuffle `which` (0 or 1), both halves: for each of a half's 16 bytes,
  // the byte of the which-th of its fields that reaches it, or none (0x80).
  static constexpr std::array<uint8_t, 32> order(int which) {
    std::array<uint8_t, 32> bytes{};
    for (int half = 0; half < 2; ++half) {
      for (int t = 0; t < 16; ++t) {
        const int at = byteAt(4 * half) + t;  // from the group's start
        int seen = 0;
        uint8_t pick = 0x80;
        for (int slot = 0; slot < 4; ++slot) {
          const int field = 4 * half + slot;
          const bool reaches = field * bitWidth < 8 * (at + 1) && (field + 1) * bitWidth > 8 * at;
          if (reaches && seen++ == which) pick = static_cast<uint8_t>(4 * slot + 3 - (at - byteAt(field)));
        }
        bytes[16 * half + t] = pick;
      }
    }
    return bytes;
  }
  static constexpr bool needs(int which) {
    for (uint8_t b : order(which))
      if (b != 0x80) return true;
    return false;
  }
  static constexpr bool kSecondNeeded = needs(1);
  static_assert(!needs(2), "two shuffles pick at most two fields a byte");
};

template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline __m256i loadOrder(int which) {
  alignas(32) static constexpr std::array<uint8_t, 32> kFirst = Narrow<bitWidth>::order(0);
  alignas(32) static constexpr std::array<uint8_t, 32> kSecond = Narrow<bitWidth>::order(1);
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(which == 0 ? kFirst.data() : kSecond.data()));
}

// The group's bytes: the low half from byte 0, the high half from kHighFrom
// (its first byte whole, the shared one included).
template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void groupBytes(const int64_t* in, __m128i& low, __m128i& high) {
  using N = Narrow<bitWidth>;
  const __m256 first = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)));
  const __m256 second = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4)));
  // The low words of values 0 1 4 5 | 2 3 6 7, then put in order.
  __m256i fields = _mm256_permute4x64_epi64(_mm256_castps_si256(_mm256_shuffle_ps(first, second, 0x88)), 0xD8);
  if constexpr (bitWidth < 32) fields = _mm256_and_si256(fields, _mm256_set1_epi32(static_cast<int>((1u << bitWidth) - 1)));
  const __m256i place = _mm256_setr_epi32(32 - bitWidth - N::bitAt(0), 32 - bitWidth - N::bitAt(1),
                                          32 - bitWidth - N::bitAt(2), 32 - bitWidth - N::bitAt(3),
                                          32 - bitWidth - N::bitAt(4), 32 - bitWidth - N::bitAt(5),
                                          32 - bitWidth - N::bitAt(6), 32 - bitWidth - N::bitAt(7));
  fields = _mm256_sllv_epi32(fields, place);
  __m256i bytes = _mm256_shuffle_epi8(fields, loadOrder<bitWidth>(0));
  if constexpr (N::kSecondNeeded) bytes = _mm256_or_si256(bytes, _mm256_shuffle_epi8(fields, loadOrder<bitWidth>(1)));
  low = _mm256_castsi256_si128(bytes);
  high = _mm256_extracti128_si256(bytes, 1);
  // The low half has nothing past the shared byte, so shifted down it adds
  // just that byte's first bits.
  if constexpr (N::kSharedMiddle) high = _mm_or_si128(high, _mm_bsrli_si128(low, N::kHighFrom));
}

template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void packGroup(const int64_t* in, uint8_t* out) {
  __m128i low, high;
  groupBytes<bitWidth>(in, low, high);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), low);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Narrow<bitWidth>::kHighFrom), high);
}

// Through a copy: exactly the group's bytes.
template <int bitWidth>
[[VASKOR_AVX2_INLINE]] inline void packGroupExactly(const int64_t* in, uint8_t* out) {
  alignas(16) uint8_t copy[48];
  packGroup<bitWidth>(in, copy);
  std::memcpy(out, copy, bitWidth);
}

template <int bitWidth, bool largest>
[[VASKOR_AVX2_TARGET]] int64_t packNarrow(const int64_t* in, uint8_t* out, size_t blocks) {
  RunningLargest top;
  const size_t groups = 8 * blocks;
  // The groups whose stores end inside the output; the last few go through
  // a copy.
  constexpr size_t reach = Narrow<bitWidth>::kHighFrom + 16;
  const size_t direct = stepsInside(groups, bitWidth, reach);
  for (size_t g = 0; g < groups; ++g, in += 8, out += bitWidth) {
    if constexpr (largest) {
      top.take<0>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in)));
      top.take<1>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4)));
    }
    if (g < direct)
      packGroup<bitWidth>(in, out);
    else
      packGroupExactly<bitWidth>(in, out);
  }
  return largest ? top.value() : 0;
}

template <int bitWidth>
void packEntry(const int64_t* in, uint8_t* out, size_t blocks) {
  packNarrow<bitWidth, false>(in, out, blocks);
}
template <int bitWidth>
int64_t packLargestEntry(const int64_t* in, uint8_t* out, size_t blocks) {
  return packNarrow<bitWidth, true>(in, out, blocks);
}

}  // namespace

const PackingFamily& narrowPacking() {
  static constexpr PackingFamily family{
      everyWidth<PackBlocks>([]<int w>() -> PackBlocks {
        if constexpr (kPacksNarrow<w>) return &packEntry<w>;
        else return nullptr;
      }),
      everyWidth<PackBlocksLargest>([]<int w>() -> PackBlocksLargest {
        if constexpr (kPacksNarrowLargest<w>) return &packLargestEntry<w>;
        else return nullptr;
      }),
  };
  return family;
}

}  // namespace vaskor::detail
