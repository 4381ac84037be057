// Whole-byte codec: worked vectors (run on the library and on the reference
// model alike), named edge cases, the chosen behaviour for short groups and
// widths of 0 or less, and extreme widths.
#include <gtest/gtest.h>

#include "tests/core/test_support.hpp"

namespace {

using namespace core_test;

const Worked kWorked[] = {
    {{1, 2, 3}, 1, "01 02 03", {1, 2, 3}},
    {{1, 2, 300}, 2, "00 01 00 02 01 2C", {1, 2, 300}},
    {{255}, 1, "FF", {255}},
    {{256}, 2, "01 00", {256}},
    {{65536}, 3, "01 00 00", {65536}},
    {{-1, 5}, 1, "FF 05", {255, 5}},
    {{-300, 7}, 1, "D4 07", {212, 7}},
    {{pow2(48) - 2}, 6, "FF FF FF FF FF FE", {pow2(48) - 2}},
    {{pow2(48) - 1}, 7, "00 FF FF FF FF FF FF", {pow2(48) - 1}},
    {{INT64_MIN, INT64_MAX}, 8, "80 00 00 00 00 00 00 00 7F FF FF FF FF FF FF FF", {INT64_MIN, INT64_MAX}},
    {{0}, 1, "00", {0}},
    {{}, 1, "", {}},
};

class NeBothModels : public testing::TestWithParam<Codec> {};

TEST_P(NeBothModels, WorkedExamples) {
  const Codec& c = GetParam();
  for (const Worked& w : kWorked) {
    SCOPED_TRACE(w.packed);
    int64_t lo = -7;
    EXPECT_EQ(c.encode(w.input, lo), hex(w.packed));
    EXPECT_EQ(lo, w.width);
    EXPECT_EQ(c.decode(hex(w.packed), w.width), w.decoded);
    EXPECT_EQ(c.decode(prepend(static_cast<uint8_t>(w.width), hex(w.packed)), 0), w.decoded);
  }
  EXPECT_EQ(c.decode(hex("02 00 01 00 02 01 2C"), 0), (Values{1, 2, 300}));
}

TEST_P(NeBothModels, WidthFollowsTheLargestValue) {
  const Codec& c = GetParam();
  // Largest value at each boundary of the width table, and the width it gets.
  const std::pair<int64_t, int64_t> table[] = {
      {0, 1},           {255, 1},         {256, 2},         {pow2(16) - 1, 2},   {pow2(16), 3},
      {pow2(24) - 1, 3}, {pow2(24), 4},   {pow2(32) - 1, 4}, {pow2(32), 5},      {pow2(40) - 1, 5},
      {pow2(40), 6},    {pow2(48) - 2, 6}, {pow2(48) - 1, 7}, {pow2(56) - 412, 7}, {pow2(56) - 411, 8},
      {INT64_MAX, 8}};
  for (const auto& [m, n] : table) {
    int64_t lo = 0;
    const Bytes packed = c.encode({-1, m, 3}, lo);
    EXPECT_EQ(lo, n) << m;
    EXPECT_EQ(packed.size(), static_cast<size_t>(3 * n)) << m;
    EXPECT_EQ(c.decode(packed, n)[1], m) << m;
  }
  int64_t lo = 0;
  EXPECT_EQ(c.encode({300, 1, 2}, lo), hex("01 2C 00 01 00 02"));
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(c.encode({-5, -300, INT64_MIN}, lo), hex("FB D4 00"));
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(c.encode({-2, pow2(56) - 412}, lo), hex("FF FF FF FF FF FF FE FF FF FF FF FF FE 64"));
  EXPECT_EQ(lo, 7);
}

TEST_P(NeBothModels, DecodeAnyPositiveWidth) {
  const Codec& c = GetParam();
  EXPECT_EQ(c.decode(hex("01 02 03 04"), 2), (Values{258, 772}));
  EXPECT_EQ(c.decode(hex("01 02 03"), 3), (Values{66051}));
  EXPECT_EQ(c.decode(Bytes(8, 0xFF), 8), (Values{-1}));
  EXPECT_EQ(c.decode(Bytes(7, 0xFF), 7), (Values{pow2(56) - 1}));
  EXPECT_EQ(c.decode(hex("FF 01 23 45 67 89 AB CD EF"), 9), (Values{0x0123456789ABCDEF}));
  EXPECT_EQ(c.decode(hex("FF 01 23 45 67 89 AB CD EF 00 00 00 00 00 00 00 00 01"), 9),
            (Values{0x0123456789ABCDEF, 1}));
}

TEST_P(NeBothModels, ShortLastGroupIsTheBytesThatAreThere) {
  const Codec& c = GetParam();
  EXPECT_EQ(c.decode(hex("01 02 03"), 2), (Values{258, 3}));
  EXPECT_EQ(c.decode(hex("01 02 03"), 5), (Values{66051}));
  EXPECT_EQ(c.decode(hex("01 02 03"), INT64_MAX), (Values{66051}));
  EXPECT_EQ(c.decode(hex("01 02 03 04 05 06 07 08 09 0A"), 8), (Values{0x0102030405060708, 0x090A}));
  // A short group longer than 8 bytes keeps its last 8.
  EXPECT_EQ(c.decode(hex("FF FF 01 02 03 04 05 06 07 08"), 12), (Values{0x0102030405060708}));
  EXPECT_EQ(c.decode(prepend(200, Bytes(8, 0x80)), 0), (Values{INT64_MIN | int64_t{0x0080808080808080}}));
}

TEST_P(NeBothModels, WidthByteAndWidthsOfZeroOrLess) {
  const Codec& c = GetParam();
  EXPECT_EQ(c.decode({}, 0), Values{});
  EXPECT_EQ(c.decode({}, -4), Values{});
  for (int b = 0; b < 256; ++b) EXPECT_EQ(c.decode({static_cast<uint8_t>(b)}, 0), Values{}) << b;
  auto failure = [](const std::string& msg) { return Outcome{true, {}, "ValueError", msg}; };
  EXPECT_EQ(run([&] { return c.decode(hex("00 01 02"), 0); }), failure("byte width must be positive, got 0"));
  EXPECT_EQ(run([&] { return c.decode(hex("01"), -3); }), failure("byte width must be positive, got -3"));
  EXPECT_EQ(run([&] { return c.decode(hex("01"), INT64_MIN); }),
            failure("byte width must be positive, got -9223372036854775808"));
}

INSTANTIATE_TEST_SUITE_P(Models, NeBothModels, testing::Values(kNe, kNeRef),
                         [](const auto& info) { return std::string(info.index == 0 ? "Library" : "Reference"); });

TEST(NeSizes, ByteSizeBeyondSigned64BitsIsAnOverflowDefect) {
  // Sizes are worked out before any byte is read, so a span that only claims
  // to be that long is enough (nothing past its first byte is touched).
  const uint8_t one[1] = {1};
  const auto huge = std::span<const uint8_t>(one, size_t{1} << 61);
  for (int64_t l : {int64_t{0}, int64_t{1}}) {
    const Outcome o = run([&] { return vaskor::ne::decode(huge, l); });
    EXPECT_EQ(o, (Outcome{true, {}, "OverflowDefect", "over- or underflow"})) << l;
  }
}

}  // namespace
