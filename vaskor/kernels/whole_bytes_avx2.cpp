// AVX2 bulk of the whole-byte kernels: four values per step, one byte
// shuffle moving each value's bytes between a 64-bit lane and its NB-byte
// big-endian slot. Only called where the processor has AVX2.
#include <immintrin.h>

#include <cstring>

#include "kernels/avx2.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

namespace {

// Shuffle for decoding: in each 128-bit half, 64-bit lane q takes the NB bytes
// at q*NB reversed into its low bytes and zeros above.
[[VASKOR_AVX2_TARGET]] __m256i unpackControl(int nb) {
  alignas(16) int8_t c[16];
  for (int q = 0; q < 2; ++q)
    for (int j = 0; j < 8; ++j) c[8 * q + j] = static_cast<int8_t>(j < nb ? q * nb + nb - 1 - j : -128);
  const __m128i half = _mm_load_si128(reinterpret_cast<const __m128i*>(c));
  return _mm256_broadcastsi128_si256(half);
}

// Shuffle for encoding: in each half, byte t < 2*NB of the output is byte
// NB-1-(t mod NB) of lane t / NB; the rest is overwritten by later stores.
[[VASKOR_AVX2_TARGET]] __m256i packControl(int nb) {
  alignas(16) int8_t c[16];
  for (int t = 0; t < 16; ++t)
    c[t] = static_cast<int8_t>(t < 2 * nb ? 8 * (t / nb) + nb - 1 - t % nb : -128);
  const __m128i half = _mm_load_si128(reinterpret_cast<const __m128i*>(c));
  return _mm256_broadcastsi128_si256(half);
}

// For one byte per value: the low bytes of the four values of load k to
// bytes 4k, 4k+1 of the first half and 4k+2, 4k+3 of the second.
[[VASKOR_AVX2_TARGET]] __m256i lowBytesControl(int k) {
  alignas(32) int8_t c[32];
  for (int t = 0; t < 32; ++t) c[t] = -128;
  c[4 * k] = 0;
  c[4 * k + 1] = 8;
  c[16 + 4 * k + 2] = 0;
  c[16 + 4 * k + 3] = 8;
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(c));
}

}  // namespace

namespace {

// Four values at `in` to nb bytes each at `out`; returns the values.
[[VASKOR_AVX2_INLINE]] inline __m256i packFour(const int64_t* in, uint8_t* out, size_t nb,
                                                                  __m256i ctl) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
  const __m256i y = _mm256_shuffle_epi8(x, ctl);
  if (nb == 8) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), y);
  } else {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(y));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * nb), _mm256_extracti128_si256(y, 1));
  }
  return x;
}

// The bulk of packWhole, keeping the largest value when asked; returns the
// values done.
template <bool largest>
[[VASKOR_AVX2_TARGET]] size_t packWholeBulk(int byteWidth, const int64_t* in, uint8_t* out, size_t n,
                                             RunningLargest& top) {
  size_t i = 0;
  const size_t nb = static_cast<size_t>(byteWidth);
  if (nb == 1) {
    // Sixteen values a step: load k's low bytes go to bytes 4k, 4k+1 (first
    // half) and 4k+2, 4k+3 (second half), so the two halves OR-ed are the
    // sixteen bytes in order.
    const __m256i ctl0 = lowBytesControl(0), ctl1 = lowBytesControl(1), ctl2 = lowBytesControl(2),
                  ctl3 = lowBytesControl(3);
    for (; i + 16 <= n; i += 16) {
      const auto at = in + i;
      const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
      const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 4));
      const __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 8));
      const __m256i x3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 12));
      if constexpr (largest) {
        top.take<0>(x0);
        top.take<1>(x1);
        top.take<2>(x2);
        top.take<3>(x3);
      }
      const __m256i all = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(x0, ctl0), _mm256_shuffle_epi8(x1, ctl1)),
                                          _mm256_or_si256(_mm256_shuffle_epi8(x2, ctl2), _mm256_shuffle_epi8(x3, ctl3)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                       _mm_or_si128(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1)));
    }
    return i;
  }
  // Eight bytes: a full byte reversal per lane. Fewer: the upper store of
  // four values covers bytes up to (i + 2) * nb + 16, which must stay inside.
  const __m256i ctl = nb == 8 ? unpackControl(8) : packControl(byteWidth);
  const size_t room = n * nb + (nb == 8 ? 16 : 0);
  const auto fits = [&](size_t last) { return last + 4 <= n && (last + 2) * nb + 16 <= room; };
  for (; fits(i + 12); i += 16) {
    const __m256i x0 = packFour(in + i, out + i * nb, nb, ctl);
    const __m256i x1 = packFour(in + i + 4, out + (i + 4) * nb, nb, ctl);
    const __m256i x2 = packFour(in + i + 8, out + (i + 8) * nb, nb, ctl);
    const __m256i x3 = packFour(in + i + 12, out + (i + 12) * nb, nb, ctl);
    if constexpr (largest) {
      top.take<0>(x0);
      top.take<1>(x1);
      top.take<2>(x2);
      top.take<3>(x3);
    }
  }
  for (; fits(i); i += 4) {
    const __m256i x = packFour(in + i, out + i * nb, nb, ctl);
    if constexpr (largest) top.take<0>(x);
  }
  return i;
}

}  // namespace

[[VASKOR_AVX2_TARGET]] void packWholeAvx2(int nb, const int64_t* in, uint8_t* out, size_t n) {
  RunningLargest unused;
  const size_t i = packWholeBulk<false>(nb, in, out, n, unused);
  packWholeScalar(nb, in + i, out + i * static_cast<size_t>(nb), n - i);
}

[[VASKOR_AVX2_TARGET]] int64_t packWholeLargestAvx2(int nb, const int64_t* in, uint8_t* out, size_t n) {
  RunningLargest top;
  const size_t i = packWholeBulk<true>(nb, in, out, n, top);
  packWholeScalar(nb, in + i, out + i * static_cast<size_t>(nb), n - i);
  const int64_t bulk = top.value(), rest = maxFromZeroScalar(in + i, n - i);
  return bulk > rest ? bulk : rest;
}

[[VASKOR_AVX2_TARGET]] void unpackWholeAvx2(int nb, const uint8_t* in, size_t size, int64_t* out) {
  size_t g = 0;
  const size_t unb = static_cast<size_t>(nb);
  if (nb == 8) {
    const __m256i ctl = unpackControl(8);
    for (; (g + 4) * 8 <= size; g += 4) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 8 * g));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + g), _mm256_shuffle_epi8(x, ctl));
    }
  } else if (nb == 1) {
    for (; g + 4 <= size; g += 4) {
      int32_t four;
      std::memcpy(&four, in + g, 4);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + g),
                          _mm256_cvtepu8_epi64(_mm_cvtsi32_si128(four)));
    }
  } else {
    const __m256i ctl = unpackControl(nb);
    // The upper load of a step reads bytes up to (g + 2) * nb + 16.
    for (; (g + 2) * unb + 16 <= size; g += 4) {
      const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + g * unb));
      const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + (g + 2) * unb));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + g),
                          _mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), ctl));
    }
  }
  unpackWholeScalar(nb, in + g * unb, size - g * unb, out + g);
}

}  // namespace vaskor::detail
