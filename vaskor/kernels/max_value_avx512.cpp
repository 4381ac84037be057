#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "kernels/avx512.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

// AVX-512 has a 64-bit max, where AVX2 compares and blends. (The masked
// form with all lanes on is used because GCC 12's plain form warns about
// its own placeholder operand.)
[[VASKOR_AVX512_TARGET]] int64_t maxFromZeroAvx512(const int64_t* p, size_t n) {
  constexpr __mmask8 kAll = 0xFF;
  // Loads that straddle cache lines run at half speed, so the loop starts
  // at a line boundary; the values before it go the scalar way.
  const size_t lead = std::min(n, (64 - reinterpret_cast<uintptr_t>(p) % 64) % 64 / sizeof(int64_t));
  const int64_t leadMax = maxFromZeroScalar(p, lead);
  p += lead;
  n -= lead;
  __m512i a = _mm512_setzero_si512(), b = a, c = a, d = a;
  size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    a = _mm512_maskz_max_epi64(kAll, a, _mm512_loadu_si512(p + i));
    b = _mm512_maskz_max_epi64(kAll, b, _mm512_loadu_si512(p + i + 8));
    c = _mm512_maskz_max_epi64(kAll, c, _mm512_loadu_si512(p + i + 16));
    d = _mm512_maskz_max_epi64(kAll, d, _mm512_loadu_si512(p + i + 24));
  }
  a = _mm512_maskz_max_epi64(kAll, _mm512_maskz_max_epi64(kAll, a, b), _mm512_maskz_max_epi64(kAll, c, d));
  alignas(64) int64_t lanes[8];
  _mm512_store_si512(lanes, a);
  int64_t m = std::max(leadMax, maxFromZeroScalar(p + i, n - i));
  for (const int64_t v : lanes) m = std::max(m, v);
  return m;
}

}  // namespace vaskor::detail
