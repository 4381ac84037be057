// AVX2 block kernels of the bit-packed codec, one instance per width; every
// shift and byte position inside a block is known at compile time.
//
// Packing (of the narrower fields, see avx2PackBlocks) builds the block's
// 64-bit words four at a time: each word is the OR of its fields, every
// field moved to its place by a per-lane variable shift (a field outside
// the word shifts out to zero), so no byte is ever combined in memory.
// Unpacking moves each field's bytes into a 64-bit lane with one byte
// shuffle and shifts it down.
#include <immintrin.h>

#include <cstring>
#include <utility>

#include "vaskor/bit_blocks_avx2.hpp"

#define VASKOR_AVX2 gnu::target("avx2"), gnu::always_inline

namespace vaskor::detail {

namespace {

constexpr int cmin(int a, int b) { return a < b ? a : b; }

// Field i of a block occupies bits [i*W, (i+1)*W), most significant first;
// its payload is the last P of them (a 65-bit field is a 0 bit and then the
// whole pattern).
template <int W>
struct Layout {
  static constexpr int P = W < 64 ? W : 64;
  static constexpr int kLead = W - P;
  static constexpr uint64_t kMask = W < 64 ? (uint64_t{1} << (W < 64 ? W : 0)) - 1 : ~uint64_t{0};

  // Shifts that move field i into word q: left when the field ends inside
  // or after the word's end, right otherwise; 64 means nothing that way.
  static constexpr int left(int q, int i) {
    const int d = 64 * (q + 1) - (i + 1) * W;
    return d >= 0 ? cmin(d, 64) : 64;
  }
  static constexpr int right(int q, int i) {
    const int d = (i + 1) * W - 64 * (q + 1);
    return d > 0 ? cmin(d, 64) : 64;
  }

  // Within a group of 8 fields (W bytes): where each payload starts.
  static constexpr int byteAt(int k) { return (k * W + kLead) / 8; }
  static constexpr int bitAt(int k) { return (k * W + kLead) % 8; }
  // Every payload lies within the 8 bytes from its first one.
  static constexpr bool kNarrow = [] {
    for (int k = 0; k < 8; ++k)
      if (bitAt(k) + P > 64) return false;
    return true;
  }();
  // Bytes from a group's start that its unpacking reads.
  static constexpr int kReach = (kNarrow ? byteAt(6) : byteAt(7)) + 16;
};

// ---- packing ----

// The fields that reach word Q, OR-ed lanewise into `acc`: four consecutive
// fields per load, from the first that reaches the word (the last load moves
// back so that it stays within the block).
template <int W, int Q, int R>
[[VASKOR_AVX2]] inline void addFour(const int64_t* in, __m256i& acc) {
  using L = Layout<W>;
  constexpr int base = cmin(64 * Q / W + 4 * R, 60);
  __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + base));
  if constexpr (W < 64) x = _mm256_and_si256(x, _mm256_set1_epi64x(static_cast<int64_t>(L::kMask)));
  constexpr int l0 = L::left(Q, base), l1 = L::left(Q, base + 1), l2 = L::left(Q, base + 2),
                l3 = L::left(Q, base + 3);
  constexpr int r0 = L::right(Q, base), r1 = L::right(Q, base + 1), r2 = L::right(Q, base + 2),
                r3 = L::right(Q, base + 3);
  if constexpr (l0 < 64 || l1 < 64 || l2 < 64 || l3 < 64)
    acc = _mm256_or_si256(acc, _mm256_sllv_epi64(x, _mm256_setr_epi64x(l0, l1, l2, l3)));
  if constexpr (r0 < 64 || r1 < 64 || r2 < 64 || r3 < 64)
    acc = _mm256_or_si256(acc, _mm256_srlv_epi64(x, _mm256_setr_epi64x(r0, r1, r2, r3)));
}

template <int W, int Q, int... R>
[[VASKOR_AVX2]] inline __m256i wordLanes(const int64_t* in, std::integer_sequence<int, R...>) {
  __m256i acc = _mm256_setzero_si256();
  (addFour<W, Q, R>(in, acc), ...);
  return acc;
}

template <int W, int Q>
[[VASKOR_AVX2]] inline __m256i word(const int64_t* in) {
  if constexpr (Q >= W) {
    return _mm256_setzero_si256();
  } else {
    constexpr int first = 64 * Q / W;
    constexpr int last = cmin(63, (64 * Q + 63 - Layout<W>::kLead) / W);
    return wordLanes<W, Q>(in, std::make_integer_sequence<int, (last - first) / 4 + 1>{});
  }
}

// Words 4S .. 4S+3 of the block: the lanes of each summed, byte order made
// big-endian, and stored.
template <int W, int S>
[[VASKOR_AVX2]] inline void packStep(const int64_t* in, uint8_t* out) {
  const __m256i w0 = word<W, 4 * S>(in), w1 = word<W, 4 * S + 1>(in);
  const __m256i w2 = word<W, 4 * S + 2>(in), w3 = word<W, 4 * S + 3>(in);
  const __m256i t0 = _mm256_or_si256(_mm256_unpacklo_epi64(w0, w1), _mm256_unpackhi_epi64(w0, w1));
  const __m256i t1 = _mm256_or_si256(_mm256_unpacklo_epi64(w2, w3), _mm256_unpackhi_epi64(w2, w3));
  __m256i r = _mm256_or_si256(_mm256_permute2x128_si256(t0, t1, 0x20), _mm256_permute2x128_si256(t0, t1, 0x31));
  const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2,
                                           1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  r = _mm256_shuffle_epi8(r, reverse);
  constexpr int words = cmin(4, W - 4 * S);
  uint8_t* to = out + 32 * S;
  if constexpr (words == 4) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), r);
  } else {
    const __m128i lo = _mm256_castsi256_si128(r);
    if constexpr (words >= 2)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), lo);
    else
      _mm_storel_epi64(reinterpret_cast<__m128i*>(to), lo);
    if constexpr (words == 3) _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 16), _mm256_extracti128_si256(r, 1));
  }
}

template <int W, int... S>
[[VASKOR_AVX2]] inline void packBlock(const int64_t* in, uint8_t* out, std::integer_sequence<int, S...>) {
  (packStep<W, S>(in, out), ...);
}

template <int W>
[[gnu::target("avx2")]] void pack(const int64_t* in, uint8_t* out, size_t blocks) {
  for (size_t b = 0; b < blocks; ++b, in += kBlockFields, out += 8 * W)
    packBlock<W>(in, out, std::make_integer_sequence<int, (W + 3) / 4>{});
}

// ---- unpacking ----

[[VASKOR_AVX2]] inline __m128i window(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Fields k0 .. k0+3 of the group at `g`.
template <int W, int K0>
[[VASKOR_AVX2]] inline void unpackFour(const uint8_t* g, int64_t* out) {
  using L = Layout<W>;
  constexpr int P = L::P;
  __m256i v;
  if constexpr (L::kNarrow) {
    // One window per half; lane l of half h takes the 8 bytes of its field,
    // reversed into a native word.
    constexpr int b0 = L::byteAt(K0), b2 = L::byteAt(K0 + 2);
    constexpr int o1 = L::byteAt(K0 + 1) - b0, o3 = L::byteAt(K0 + 3) - b2;
    const __m256i x = _mm256_inserti128_si256(_mm256_castsi128_si256(window(g + b0)), window(g + b2), 1);
    const __m256i pick = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, o1 + 7, o1 + 6, o1 + 5, o1 + 4, o1 + 3, o1 + 2,
                                          o1 + 1, o1, 7, 6, 5, 4, 3, 2, 1, 0, o3 + 7, o3 + 6, o3 + 5, o3 + 4,
                                          o3 + 3, o3 + 2, o3 + 1, o3);
    v = _mm256_sllv_epi64(_mm256_shuffle_epi8(x, pick),
                          _mm256_setr_epi64x(L::bitAt(K0), L::bitAt(K0 + 1), L::bitAt(K0 + 2), L::bitAt(K0 + 3)));
  } else {
    // A field may reach a ninth byte: one window per field, its first 8
    // bytes and the next 8 as two native words A and C.
    const __m256i x = _mm256_inserti128_si256(_mm256_castsi128_si256(window(g + L::byteAt(K0))),
                                              window(g + L::byteAt(K0 + 2)), 1);
    const __m256i y = _mm256_inserti128_si256(_mm256_castsi128_si256(window(g + L::byteAt(K0 + 1))),
                                              window(g + L::byteAt(K0 + 3)), 1);
    const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3,
                                             2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
    const __m256i xr = _mm256_shuffle_epi8(x, reverse), yr = _mm256_shuffle_epi8(y, reverse);
    const __m256i a = _mm256_unpacklo_epi64(xr, yr), c = _mm256_unpackhi_epi64(xr, yr);
    const __m256i s = _mm256_setr_epi64x(L::bitAt(K0), L::bitAt(K0 + 1), L::bitAt(K0 + 2), L::bitAt(K0 + 3));
    v = _mm256_or_si256(_mm256_sllv_epi64(a, s), _mm256_srlv_epi64(c, _mm256_sub_epi64(_mm256_set1_epi64x(64), s)));
  }
  v = _mm256_srlv_epi64(v, _mm256_set1_epi64x(64 - P));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v);
}

template <int W>
[[VASKOR_AVX2]] inline void unpackGroup(const uint8_t* g, int64_t* out) {
  unpackFour<W, 0>(g, out);
  unpackFour<W, 4>(g, out + 4);
}

template <int W>
[[gnu::target("avx2")]] void unpack(const uint8_t* in, int64_t* out, size_t blocks) {
  constexpr size_t reach = Layout<W>::kReach;
  const size_t groups = blocks * 8;
  const size_t total = groups * W;
  // The groups whose reads stay inside the blocks; the last few are read
  // from a copy with room behind it.
  const size_t fit = total >= reach ? (total - reach) / W + 1 : 0;
  const size_t direct = fit < groups ? fit : groups;
  size_t g = 0;
#pragma GCC unroll 4
  for (; g < direct; ++g) unpackGroup<W>(in + g * W, out + 8 * g);
  if (g == groups) return;
  alignas(32) uint8_t tail[2 * reach + 8] = {};
  std::memcpy(tail, in + g * W, total - g * W);
  for (size_t t = 0; g < groups; ++g, ++t) unpackGroup<W>(tail + t * W, out + 8 * g);
}

}  // namespace

// Wider fields (and 32, whose fields fall on half words) pack faster with
// the scalar blocks, measured: here every output word costs two shifts and
// a share of a four-word reduction.
constexpr bool vectorPacks(int w) { return w <= 33 && w != 32; }

template <int W>
constexpr PackBlocks packEntry() {
  if constexpr (vectorPacks(W))
    return &pack<W>;
  else
    return nullptr;
}

const std::array<PackBlocks, kMaxBlockWidth + 1>& avx2PackBlocks() {
  static constexpr auto table = []<int... W>(std::integer_sequence<int, W...>) {
    return std::array<PackBlocks, kMaxBlockWidth + 1>{nullptr, packEntry<W + 1>()...};
  }(std::make_integer_sequence<int, kMaxBlockWidth>{});
  return table;
}

const std::array<UnpackBlocks, kMaxBlockWidth + 1>& avx2UnpackBlocks() {
  static constexpr auto table = []<int... W>(std::integer_sequence<int, W...>) {
    return std::array<UnpackBlocks, kMaxBlockWidth + 1>{nullptr, &unpack<W + 1>...};
  }(std::make_integer_sequence<int, kMaxBlockWidth>{});
  return table;
}

}  // namespace vaskor::detail
