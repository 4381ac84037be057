// The library answers binLen from the exact bit length and a table of the
// raised results, so that it needs no math library. These tests hold that
// table to the formula itself: floor(log(x, 2.0)) + 1 through the C library.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/core/test_support.hpp"
#include "vaskor/utils.hpp"

namespace {

int64_t byFormula(int64_t num) {
  if (num == 0) return 1;
  return static_cast<int64_t>(std::floor(vaskor::log(static_cast<double>(num), 2.0))) + 1;
}

// d for each bit length (0 below 48): how many values below 2^k are raised.
int64_t raisedCount(int k) {
  static const int64_t d[] = {1, 2, 3, 1, 27, 38, 42, 18, 411, 552, 592, 4191, 6208, 8063, 7424, 64000};
  return k >= 48 ? d[k - 48] : 0;
}

TEST(BinLenFormula, LogIsLnOverLn) {
  EXPECT_EQ(vaskor::log(8.0, 2.0), std::log(8.0) / std::log(2.0));
  EXPECT_EQ(vaskor::log(1000.0, 10.0), std::log(1000.0) / std::log(10.0));
  EXPECT_EQ(vaskor::log(1.0, 2.0), 0.0);
  EXPECT_EQ(std::log(2.0), 0.6931471805599453);
}

TEST(BinLenFormula, EveryValueAroundEachPowerOfTwo) {
  int64_t checked = 0;
  for (int k = 1; k <= 63; ++k) {
    const uint64_t p = uint64_t{1} << k;
    const uint64_t reach = 3 * static_cast<uint64_t>(raisedCount(k)) + 2000;
    const uint64_t lo = p > reach ? p - reach : 0;
    const uint64_t hi = k == 63 ? static_cast<uint64_t>(INT64_MAX) : p + 2000;
    for (uint64_t u = lo;; ++u) {
      const int64_t v = static_cast<int64_t>(u);
      if (vaskor::binLen(v) != byFormula(v)) {
        ADD_FAILURE() << "binLen(" << v << ") = " << vaskor::binLen(v) << ", formula " << byFormula(v);
        return;
      }
      ++checked;
      if (u == hi) break;
    }
  }
  EXPECT_GT(checked, 500000);
}

TEST(BinLenFormula, RandomValuesOfEveryMagnitude) {
  std::mt19937_64 rng(20240611);
  for (int round = 0; round < 2'000'000; ++round) {
    // A random bit length, then a random value of that length.
    const int bits = static_cast<int>(rng() % 63) + 1;
    const uint64_t top = uint64_t{1} << (bits - 1);
    const int64_t v = static_cast<int64_t>(top | (rng() & (top - 1)));
    ASSERT_EQ(vaskor::binLen(v), byFormula(v)) << v;
  }
}

TEST(BinLenFormula, NamedEdgesAgreeToo) {
  using core_test::pow2;
  for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{2}, int64_t{3}, int64_t{255}, int64_t{256}, pow2(48) - 2,
                    pow2(48) - 1, pow2(48), pow2(53) - 1, pow2(54) - 1, pow2(56) - 412, pow2(56) - 411,
                    INT64_MAX - 64000, INT64_MAX - 63999, INT64_MAX})
    EXPECT_EQ(vaskor::binLen(v), byFormula(v)) << v;
}

}  // namespace
