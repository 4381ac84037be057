#include <immintrin.h>

#include <cstdint>

#include "vaskor/max_value.hpp"

namespace vaskor::detail {

namespace {

[[gnu::target("avx2"), gnu::always_inline]] inline __m256i keep(__m256i m, __m256i v) {
  return _mm256_blendv_epi8(m, v, _mm256_cmpgt_epi64(v, m));
}

}  // namespace

// No 64-bit max in AVX2: compare and blend, four chains to hide latency.
[[gnu::target("avx2")]] int64_t maxFromZeroAvx2(const int64_t* p, size_t n) {
  __m256i a = _mm256_setzero_si256(), b = a, c = a, d = a;
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    a = keep(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i)));
    b = keep(b, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 4)));
    c = keep(c, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 8)));
    d = keep(d, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 12)));
  }
  a = keep(keep(a, b), keep(c, d));
  alignas(32) int64_t lanes[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), a);
  int64_t m = maxFromZeroScalar(p + i, n - i);
  for (const int64_t v : lanes) m = v > m ? v : m;
  return m;
}

}  // namespace vaskor::detail
