// The whole-byte codec against the reference model on random inputs: every
// encoding byte for byte, every decoding value for value, failures by kind
// and message. Fixed seeds; split into parts so CTest can run them side by side.
#include <gtest/gtest.h>

#include "tests/core/random_inputs.hpp"
#include "tests/core/test_support.hpp"

namespace {

using namespace core_test;

constexpr int kParts = 4;
constexpr int kCasesPerPart = 25'000;

class NeDifferential : public testing::TestWithParam<int> {};

TEST_P(NeDifferential, EncodeMatchesReference) {
  RandomInputs gen(4000 + static_cast<uint64_t>(GetParam()));
  for (int i = 0; i < kCasesPerPart; ++i) {
    const Values s = gen.values();
    int64_t lo = -1, refLo = -1;
    const Bytes got = vaskor::ne::encode(s, lo);
    const Bytes want = vaskor_ref::neEncode(s, refLo);
    ASSERT_EQ(lo, refLo) << "case " << i;
    ASSERT_EQ(got, want) << "case " << i << " width " << lo;
    // And the encoder's own output read back with its width.
    ASSERT_EQ(vaskor::ne::decode(got, lo), vaskor_ref::neDecode(want, lo)) << "case " << i;
  }
}

TEST_P(NeDifferential, DecodeMatchesReference) {
  RandomInputs gen(5000 + static_cast<uint64_t>(GetParam()));
  for (int i = 0; i < kCasesPerPart; ++i) {
    const Bytes b = gen.bytes(gen.byteLength());
    const int64_t l = gen.width();
    const Outcome got = run([&] { return vaskor::ne::decode(b, l); });
    const Outcome want = run([&] { return vaskor_ref::neDecode(b, l); });
    ASSERT_EQ(got, want) << "case " << i << " width " << l << " bytes " << describe(b);
  }
}

TEST(NeDifferentialLengths, EveryByteWidthAndLengthNearTheVectorSteps) {
  // Lengths 0..80 for each byte width reach the bulk loop and every tail.
  RandomInputs gen(6000);
  for (int bits = 0; bits <= 63; ++bits) {
    for (size_t n = 0; n <= 80; ++n) {
      const Values s = gen.values(n, bits);
      int64_t lo = 0, refLo = 0;
      const Bytes got = vaskor::ne::encode(s, lo);
      ASSERT_EQ(got, vaskor_ref::neEncode(s, refLo)) << bits << " " << n;
      for (int64_t l = 1; l <= 10; ++l)
        ASSERT_EQ(vaskor::ne::decode(got, l), vaskor_ref::neDecode(got, l)) << bits << " " << n << " " << l;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, NeDifferential, testing::Range(0, kParts));

}  // namespace
