// Bit-packed codec: worked vectors (run on the library and on the reference
// model alike), named edge cases, the failures and extreme widths.
#include <gtest/gtest.h>

#include "tests/core/test_support.hpp"

namespace {

using namespace core_test;

const Worked kWorked[] = {
    {{5, 0, 9}, 5, "14 09", {5, 0, 9}},
    {{1, 2, 3}, 3, "00 53", {0, 0, 1, 2, 3}},
    {{1, 2, 300}, 10, "00 10 09 2C", {1, 2, 300}},
    {{-1}, 2, "03", {0, 0, 0, 3}},
    {{-5, 3}, 3, "1B", {3, 3}},
    {{-1, pow2(62)}, 64, "FF FF FF FF FF FF FF FF 40 00 00 00 00 00 00 00", {-1, pow2(62)}},
    {{INT64_MAX}, 65, "00 7F FF FF FF FF FF FF FF", {INT64_MAX}},
    {{}, 2, "", {}},
};

class BpeBothModels : public testing::TestWithParam<Codec> {};

TEST_P(BpeBothModels, WorkedExamples) {
  const Codec& c = GetParam();
  for (const Worked& w : kWorked) {
    SCOPED_TRACE(w.packed);
    int64_t lo = -7;
    const Bytes packed = c.encode(w.input, lo);
    EXPECT_EQ(lo, w.width);
    EXPECT_EQ(packed, hex(w.packed));
    EXPECT_EQ(c.decode(hex(w.packed), w.width), w.decoded);
    // The same with the width byte in front and width 0.
    EXPECT_EQ(c.decode(prepend(static_cast<uint8_t>(w.width), hex(w.packed)), 0), w.decoded);
  }
  EXPECT_EQ(c.decode(hex("05 14 09"), 0), (Values{5, 0, 9}));
}

TEST_P(BpeBothModels, WidthRule) {
  const Codec& c = GetParam();
  int64_t lo = 0;
  EXPECT_EQ(c.encode({0}, lo), hex("00"));
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(c.decode(hex("00"), 2), (Values{0, 0, 0, 0}));
  EXPECT_EQ(c.encode({-3, -100, INT64_MIN}, lo).size(), 1u);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(c.encode({1}, lo), hex("01"));
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(c.encode({2, 3}, lo), hex("13"));
  EXPECT_EQ(lo, 3);
  EXPECT_EQ(c.decode(hex("13"), 3), (Values{2, 3}));
  // The largest value sets the width wherever it stands.
  EXPECT_EQ(c.encode({9, 5, 0}, lo), hex("24 A0"));
  EXPECT_EQ(lo, 5);
  c.encode({INT64_MAX - 64000}, lo);  // 2^63 - 64001
  EXPECT_EQ(lo, 64);
  EXPECT_EQ(c.encode({INT64_MAX - 63999}, lo), hex("00 7F FF FF FF FF FF 06 00"));  // 2^63 - 64000
  EXPECT_EQ(lo, 65);
}

TEST_P(BpeBothModels, WideFieldsKeepNegativesWhole) {
  const Codec& c = GetParam();
  int64_t lo = 0;
  const Values at64{INT64_MIN, -1, 5, pow2(62)};
  const Bytes packed64 = c.encode(at64, lo);
  EXPECT_EQ(lo, 64);
  EXPECT_EQ(c.decode(packed64, 64), at64);
  const Values at65{-1, INT64_MIN, INT64_MAX - 63999};
  const Bytes packed = c.encode(at65, lo);
  EXPECT_EQ(lo, 65);
  EXPECT_EQ(packed.size(), 25u);  // 195 bits and 5 bits of padding
  EXPECT_EQ(c.decode(packed, 65), at65);
}

TEST_P(BpeBothModels, DecodeAnyWidth) {
  const Codec& c = GetParam();
  EXPECT_EQ(c.decode(hex("14 09"), 16), (Values{5129}));
  EXPECT_EQ(c.decode(hex("14 09"), 1), (Values{0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1}));
  EXPECT_EQ(c.decode(hex("01 23 45 67 89 AB CD EF 01"), 72), (Values{0x23456789ABCDEF01}));
  EXPECT_EQ(c.decode(hex("FF 80 00 00 00 00 00 00 01"), 65), (Values{INT64_MIN + 1}));
  EXPECT_EQ(c.decode(hex("00 01 02 03 04 05 06 07 88 09 0A 0B 0C 0D 0E 0F"), 128),
            (Values{static_cast<int64_t>(0x88090A0B0C0D0E0Fu)}));
  // Two 70-bit groups after a 4-bit cut; the first one's last 64 bits start
  // two bits into a byte.
  EXPECT_EQ(c.decode(hex("FF FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 00 00"), 70), (Values{-4, 0}));
  // Wider than the data: everything is cut.
  EXPECT_EQ(c.decode(hex("14 09"), 17), Values{});
  EXPECT_EQ(c.decode(hex("14 09"), INT64_MAX), Values{});
  EXPECT_EQ(c.decode(prepend(255, Bytes(31, 0xFF)), 0), Values{});
  EXPECT_EQ(c.decode(prepend(255, Bytes(32, 0xFF)), 0), (Values{-1}));
}

TEST_P(BpeBothModels, WidthByteAndEmptyInputs) {
  const Codec& c = GetParam();
  EXPECT_EQ(c.decode({}, 0), Values{});
  EXPECT_EQ(c.decode({}, 5), Values{});
  EXPECT_EQ(c.decode({}, -5), Values{});
  for (int b = 0; b < 256; ++b) EXPECT_EQ(c.decode({static_cast<uint8_t>(b)}, 0), Values{}) << b;
}

TEST_P(BpeBothModels, Failures) {
  const Codec& c = GetParam();
  const Outcome assertion{true, {}, "AssertionDefect", "bpe(76, 18) `item.parseBin(iitem) == rl` "};
  EXPECT_EQ(run([&] { return c.decode(hex("14 09"), -1); }), assertion);
  EXPECT_EQ(run([&] { return c.decode(hex("14"), -8); }), assertion);
  EXPECT_EQ(run([&] { return c.decode(hex("14 09"), -16); }), assertion);
  // No bit left after the cut: a negative width gives nothing.
  EXPECT_EQ(run([&] { return c.decode(hex("14"), -9); }), Outcome{});
  EXPECT_EQ(run([&] { return c.decode(hex("14 09"), INT64_MIN); }), Outcome{});
  EXPECT_EQ(run([&] { return c.decode(hex("14 09"), INT64_MIN + 1); }), Outcome{});
  EXPECT_EQ(run([&] { return c.decode(hex("00 14 09"), 0); }),
            (Outcome{true, {}, "ValueError", "bit width must be positive, got 0"}));
  EXPECT_EQ(run([&] { return c.decode(hex("00"), 0); }), Outcome{});
}

INSTANTIATE_TEST_SUITE_P(Models, BpeBothModels, testing::Values(kBpe, kBpeRef),
                         [](const auto& info) { return std::string(info.index == 0 ? "Library" : "Reference"); });

TEST(BpeSizes, ByteSizeBeyondSigned64BitsIsAnOverflowDefect) {
  // Sizes are worked out before any byte is read, so a span that only claims
  // to be that long is enough (nothing past its first byte is touched).
  const uint8_t one[1] = {1};
  const auto huge = std::span<const uint8_t>(one, size_t{1} << 61);
  for (int64_t l : {int64_t{0}, int64_t{1}, int64_t{2}}) {
    const Outcome o = run([&] { return vaskor::bpe::decode(huge, l); });
    EXPECT_EQ(o, (Outcome{true, {}, "OverflowDefect", "over- or underflow"})) << l;
  }
}

}  // namespace
