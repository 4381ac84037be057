#include <immintrin.h>

#include <cstdint>

#include "vaskor/kernels/avx2.hpp"
#include "vaskor/kernels/scalar.hpp"

namespace vaskor::detail {

// No 64-bit max in AVX2: compare and blend, four chains to hide latency.
[[gnu::target("avx2")]] int64_t maxFromZeroAvx2(const int64_t* values, size_t count) {
  __m256i a = _mm256_setzero_si256(), b = a, c = a, d = a;
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    a = keepLarger(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i)));
    b = keepLarger(b, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i + 4)));
    c = keepLarger(c, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i + 8)));
    d = keepLarger(d, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + i + 12)));
  }
  a = keepLarger(keepLarger(a, b), keepLarger(c, d));
  const int64_t rest = maxFromZeroScalar(values + i, count - i);
  const int64_t m = largestLane(a);
  return m > rest ? m : rest;
}

}  // namespace vaskor::detail
