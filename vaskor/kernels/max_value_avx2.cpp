#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "kernels/avx2.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

namespace {

// No 64-bit max in AVX2: compare and blend. Most values of most inputs are
// not above the largest seen so far, so a batch of sixteen is only compared
// with it (the OR of four compares), and its own largest taken when one is
// above: about half the work of blending every value in. Once that
// happens often within a stretch (a rising input), a stretch is scanned the
// plain way, over four chains.
constexpr size_t kBatch = 16;
constexpr size_t kCheckedStretch = 1024;
constexpr int kRisesAllowed = 8;
constexpr size_t kPlainStretch = 8192;

[[VASKOR_AVX2_INLINE]] inline __m256i at(const int64_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

[[VASKOR_AVX2_TARGET]] int64_t maxFromZeroAvx2(const int64_t* values, size_t count) {
  __m256i top = _mm256_setzero_si256();  // the largest so far, in every lane
  size_t i = 0;
  while (i + kBatch <= count) {
    const size_t checkedEnd = std::min(count, i + kCheckedStretch);
    int rises = 0;
    while (i + kBatch <= checkedEnd) {
      const __m256i x0 = at(values + i), x1 = at(values + i + 4), x2 = at(values + i + 8), x3 = at(values + i + 12);
      i += kBatch;
      const __m256i above = _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi64(x0, top), _mm256_cmpgt_epi64(x1, top)),
                                            _mm256_or_si256(_mm256_cmpgt_epi64(x2, top), _mm256_cmpgt_epi64(x3, top)));
      if (!_mm256_testz_si256(above, above)) {
        top = spreadLargest(keepLarger(top, keepLarger(keepLarger(x0, x1), keepLarger(x2, x3))));
        if (++rises > kRisesAllowed) break;
      }
    }
    if (rises > kRisesAllowed) {
      const size_t plainEnd = std::min(count, i + kPlainStretch);
      __m256i a = top, b = top, c = top, d = top;
      for (; i + kBatch <= plainEnd; i += kBatch) {
        a = keepLarger(a, at(values + i));
        b = keepLarger(b, at(values + i + 4));
        c = keepLarger(c, at(values + i + 8));
        d = keepLarger(d, at(values + i + 12));
      }
      top = spreadLargest(keepLarger(keepLarger(a, b), keepLarger(c, d)));
    }
  }
  const int64_t rest = maxFromZeroScalar(values + i, count - i);
  const int64_t m = _mm256_extract_epi64(top, 0);
  return m > rest ? m : rest;
}

}  // namespace vaskor::detail
