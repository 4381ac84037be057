// The bit-length rule and the binary digit text conversions.
#include <gtest/gtest.h>

#include "tests/core/test_support.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/utils.hpp"

namespace {

using core_test::pow2;

struct Raised {
  int k;
  int64_t d;
};
// For bit length k the last d values below 2^k answer k + 1.
constexpr Raised kRaised[] = {{48, 1},    {49, 2},    {50, 3},    {51, 1},    {52, 27},   {53, 38},
                              {54, 42},   {55, 18},   {56, 411},  {57, 552},  {58, 592},  {59, 4191},
                              {60, 6208}, {61, 8063}, {62, 7424}, {63, 64000}};

int64_t belowPow2(int k, int64_t d) { return static_cast<int64_t>((uint64_t{1} << k) - static_cast<uint64_t>(d)); }

TEST(BinLen, SmallValuesAndNamedEdges) {
  for (auto binLen : {&vaskor::binLen, &vaskor_ref::binLen}) {
    EXPECT_EQ(binLen(0), 1);
    EXPECT_EQ(binLen(1), 1);
    EXPECT_EQ(binLen(2), 2);
    EXPECT_EQ(binLen(3), 2);
    EXPECT_EQ(binLen(255), 8);
    EXPECT_EQ(binLen(256), 9);
    EXPECT_EQ(binLen(pow2(48) - 2), 48);
    EXPECT_EQ(binLen(pow2(48) - 1), 49);
    EXPECT_EQ(binLen(pow2(48)), 49);
    EXPECT_EQ(binLen(pow2(53) - 1), 54);
    EXPECT_EQ(binLen(pow2(54) - 1), 55);
    EXPECT_EQ(binLen(pow2(56) - 412), 56);
    EXPECT_EQ(binLen(pow2(56) - 411), 57);
    EXPECT_EQ(binLen(INT64_MAX - 64000), 63);  // 2^63 - 64001
    EXPECT_EQ(binLen(INT64_MAX - 63999), 64);  // 2^63 - 64000
    EXPECT_EQ(binLen(INT64_MAX), 64);
  }
}

TEST(BinLen, RaisedResultsStartExactlyAtEachTableBoundary) {
  for (const Raised& r : kRaised) {
    SCOPED_TRACE(r.k);
    for (auto binLen : {&vaskor::binLen, &vaskor_ref::binLen}) {
      EXPECT_EQ(binLen(belowPow2(r.k, r.d + 1)), r.k);
      EXPECT_EQ(binLen(belowPow2(r.k, r.d)), r.k + 1);
      EXPECT_EQ(binLen(belowPow2(r.k, 1)), r.k + 1);
    }
  }
}

TEST(BinLen, ExactBelowTwoToTheFortyEight) {
  for (int k = 1; k < 48; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(vaskor::binLen(pow2(k) - 1), k);
    EXPECT_EQ(vaskor::binLen(pow2(k)), k + 1);
    EXPECT_EQ(vaskor::binLen(pow2(k) + 1), k + 1);
  }
}

TEST(NsuToBin, LowBitsMostSignificantFirst) {
  EXPECT_EQ(vaskor::nsuToBin(5, 3), "101");
  EXPECT_EQ(vaskor::nsuToBin(5, 2), "01");
  EXPECT_EQ(vaskor::nsuToBin(0, 8), "00000000");
  EXPECT_EQ(vaskor::nsuToBin(-1, 4), "1111");
  EXPECT_EQ(vaskor::nsuToBin(-1, 66), "00" + std::string(64, '1'));
  EXPECT_EQ(vaskor::nsuToBin(INT64_MIN, 65), "01" + std::string(63, '0'));
  EXPECT_EQ(vaskor::nsuToBin(INT64_MIN, 64), "1" + std::string(63, '0'));
  EXPECT_EQ(vaskor::nsuToBin(INT64_MAX, 1), "1");
  EXPECT_EQ(vaskor::nsuToBin(0x1234, 200), std::string(187, '0') + "1001000110100");
}

TEST(NsuToBin, AgreesWithReferenceOnEveryLengthUpTo70) {
  const int64_t samples[] = {0, 1, -1, 5, -5, 300, INT64_MIN, INT64_MAX, 0x0123456789ABCDEF, -0x0123456789ABCDEF};
  for (int64_t x : samples)
    for (int64_t len = 1; len <= 70; ++len) EXPECT_EQ(vaskor::nsuToBin(x, len), vaskor_ref::nsuToBin(x, len)) << x << " " << len;
}

TEST(ParseBin, WideTarget) {
  int64_t n = 42;
  EXPECT_EQ(vaskor::parseBin("0" + std::string(64, '1'), n), 65);
  EXPECT_EQ(n, -1);
  EXPECT_EQ(vaskor::parseBin("101", n), 3);
  EXPECT_EQ(n, 5);
  // Only the last 64 digits count.
  EXPECT_EQ(vaskor::parseBin("101" + std::string(62, '0') + "1", n), 66);
  EXPECT_EQ(n, INT64_MIN + 1);
  // Prefix and underscores count as consumed; anything else stops the scan.
  EXPECT_EQ(vaskor::parseBin("0b1_01", n), 6);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(vaskor::parseBin("0B11x1", n), 4);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(vaskor::parseBin("1__2", n), 3);
  EXPECT_EQ(n, 1);
}

TEST(ParseBin, NoDigitLeavesTargetUntouched) {
  for (const char* text : {"", "0b", "0B", "_", "0b_", "x1", "0b2", "__x"}) {
    int64_t wide = 77;
    uint8_t narrow = 7;
    EXPECT_EQ(vaskor::parseBin(text, wide), 0) << text;
    EXPECT_EQ(vaskor::parseBin(text, narrow), 0) << text;
    EXPECT_EQ(wide, 77);
    EXPECT_EQ(narrow, 7);
  }
  // A lone "0" and "0_" are digits, not a prefix.
  int64_t n = 9;
  EXPECT_EQ(vaskor::parseBin("0", n), 1);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(vaskor::parseBin("0_", n), 2);
}

TEST(ParseBin, ByteTarget) {
  uint8_t b = 0;
  EXPECT_EQ(vaskor::parseBin("11111111", b), 8);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(vaskor::parseBin("1000000001", b), 10);  // only the last 8 digits count
  EXPECT_EQ(b, 1);
  EXPECT_EQ(vaskor::parseBin("0b1_0", b), 5);
  EXPECT_EQ(b, 2);
}

TEST(ParseBin, AgreesWithReferenceOnMixedTexts) {
  // Every text over a small alphabet up to length 6, both targets.
  const char alphabet[] = {'0', '1', '_', 'b', 'B', 'x'};
  std::vector<std::string> texts{""};
  for (size_t start = 0, len = 0; len < 6; ++len) {
    const size_t end = texts.size();
    for (size_t i = start; i < end; ++i)
      for (char c : alphabet) texts.push_back(texts[i] + c);
    start = end;
  }
  for (const std::string& t : texts) {
    int64_t a = -3, b = -3;
    uint8_t c = 3, d = 3;
    ASSERT_EQ(vaskor::parseBin(t, a), vaskor_ref::parseBin(t, b)) << t;
    ASSERT_EQ(a, b) << t;
    ASSERT_EQ(vaskor::parseBin(t, c), vaskor_ref::parseBin(t, d)) << t;
    ASSERT_EQ(c, d) << t;
  }
}

}  // namespace
