// The largest value of a sequence, the search starting from 0, so negative
// values never raise it (both codecs size their width by it).
#include "kernels/scalar.hpp"

#include <algorithm>
#include <cstdint>

namespace vaskor::detail {

int64_t maxFromZeroScalar(const int64_t* p, size_t n) {
  // Four independent chains keep the compare-and-select latency hidden.
  int64_t m0 = 0, m1 = 0, m2 = 0, m3 = 0;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    m0 = std::max(m0, p[i]);
    m1 = std::max(m1, p[i + 1]);
    m2 = std::max(m2, p[i + 2]);
    m3 = std::max(m3, p[i + 3]);
  }
  for (; i < n; ++i) m0 = std::max(m0, p[i]);
  return std::max(std::max(m0, m1), std::max(m2, m3));
}

}  // namespace vaskor::detail
