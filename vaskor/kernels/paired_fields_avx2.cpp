// AVX2 packing of fields of kMinPairedField to 31 bits, used at the widths
// kPacksPaired names, eight at a time, as four items of two fields each.
//
// A group of eight fields is bitWidth whole bytes. Fields 2i and 2i+1 are
// joined into one item of twice the width. Word k of the group's bits,
// most significant first, then holds the end of item k and the start of
// item k+1: from 24 bits up no third item reaches it. That is two shifts,
// a multiply and two lane moves for eight fields, where the windows take
// five shifts for four. Byte-reversed, the 32 bytes are stored at the
// group's start; past its bitWidth bytes they are zero, and the next
// group's store overwrites them. The last groups of a call,
// whose stores would pass its end, go through a copy.
#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "kernels/avx2.hpp"


namespace vaskor::detail {

namespace {

template <int bitWidth>
struct Pairs {
  static_assert(bitWidth >= kMinPairedField && bitWidth <= 31);  // the multiply takes 32 bits
  static constexpr int kItemBits = 2 * bitWidth;
  // Left shift of item k into word k (64: it ends before the word).
  static constexpr int own(int word) { return std::min(64, (word + 1) * (64 - kItemBits)); }
  // Right shift of item k+1 into word k (64: there is none).
  static constexpr int next(int word) { return word < 3 ? std::min(64, (word + 2) * kItemBits - 64 * (word + 1)) : 64; }
};

[[VASKOR_AVX2_INLINE]] inline __m256i load(const int64_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

template <int bitWidth, bool largest>
[[VASKOR_AVX2_INLINE]] inline __m256i groupWords(const int64_t* in, RunningLargest& top) {
  using P = Pairs<bitWidth>;
  const __m256i low = load(in), high = load(in + 4);
  if constexpr (largest) {
    top.take<0>(low);
    top.take<1>(high);
  }
  const __m256i mask = _mm256_set1_epi64x(static_cast<int64_t>((uint64_t{1} << bitWidth) - 1));
  const __m256i a = _mm256_and_si256(low, mask), b = _mm256_and_si256(high, mask);
  // Items in lanes 0 2 1 3. The shift and shuffle ports are what this is
  // bound by, so the first field of each pair moves up by a multiply.
  const __m256i firsts = _mm256_unpacklo_epi64(a, b), seconds = _mm256_unpackhi_epi64(a, b);
  const __m256i items = _mm256_or_si256(_mm256_mul_epu32(firsts, _mm256_set1_epi64x(int64_t{1} << bitWidth)), seconds);
  const __m256i own = _mm256_sllv_epi64(_mm256_permute4x64_epi64(items, 0xD8),
                                        _mm256_setr_epi64x(P::own(0), P::own(1), P::own(2), P::own(3)));
  const __m256i following = _mm256_permute4x64_epi64(items, 0xF6);  // lane k: item k+1
  const __m256i next = _mm256_srlv_epi64(following, _mm256_setr_epi64x(P::next(0), P::next(1), P::next(2), P::next(3)));
  return _mm256_or_si256(own, next);
}

template <int bitWidth, bool largest>
[[VASKOR_AVX2_TARGET]] int64_t packPairs(const int64_t* in, uint8_t* out, size_t blocks) {
  RunningLargest top;
  const size_t groups = 8 * blocks, direct = stepsInside(groups, bitWidth, 32);
  size_t g = 0;
  for (; g < direct; ++g, in += 8, out += bitWidth)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), reverseWords(groupWords<bitWidth, largest>(in, top)));
  for (; g < groups; ++g, in += 8, out += bitWidth) {
    alignas(32) uint8_t copy[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(copy), reverseWords(groupWords<bitWidth, largest>(in, top)));
    std::memcpy(out, copy, bitWidth);
  }
  return largest ? top.value() : 0;
}

template <int bitWidth>
void packEntry(const int64_t* in, uint8_t* out, size_t blocks) {
  packPairs<bitWidth, false>(in, out, blocks);
}
template <int bitWidth>
int64_t packLargestEntry(const int64_t* in, uint8_t* out, size_t blocks) {
  return packPairs<bitWidth, true>(in, out, blocks);
}

}  // namespace

const PackingFamily& pairedPacking() {
  static constexpr PackingFamily family{
      everyWidth<PackBlocks>([]<int w>() -> PackBlocks {
        if constexpr (kPacksPaired<w>) return &packEntry<w>;
        else return nullptr;
      }),
      everyWidth<PackBlocksLargest>([]<int w>() -> PackBlocksLargest {
        if constexpr (kPacksPaired<w>) return &packLargestEntry<w>;
        else return nullptr;
      }),
  };
  return family;
}

}  // namespace vaskor::detail
