// Inputs past the size at which the encoders stop finding the largest value
// up front and instead guess the width from the first chunk, and from each
// chunk that needs more: the result must not depend on where the largest
// value stands.
#include <gtest/gtest.h>

#include <random>

#include "tests/core/test_support.hpp"
#include "detail/kernels.hpp"
#include "detail/width_choice.hpp"

namespace {

using namespace core_test;

constexpr size_t kLarge = vaskor::detail::kExactWidthLimit + 64 * 3 + 5;

// Small values with one large value at `at` (or none when `at` is past the end).
Values withPeak(size_t at, int64_t small, int64_t peak) {
  std::mt19937_64 rng(at);
  Values v(kLarge);
  for (int64_t& x : v) x = static_cast<int64_t>(rng() % static_cast<uint64_t>(small)) - (rng() % 5 == 0 ? small : 0);
  if (at < v.size()) v[at] = peak;
  return v;
}

const size_t kPeaks[] = {0, 3, 5000, kLarge / 2, kLarge - 1, kLarge};

TEST(LargeInputs, BitPackedWidthDoesNotDependOnWhereTheLargestValueIs) {
  for (size_t at : kPeaks) {
    const Values v = withPeak(at, 4, 1000);
    int64_t lo = 0, refLo = 0;
    const Bytes got = vaskor::bpe::encode(v, lo);
    ASSERT_EQ(got, vaskor_ref::bpeEncode(v, refLo)) << at;
    ASSERT_EQ(lo, refLo) << at;
    EXPECT_EQ(lo, at < kLarge ? 11 : 3);
  }
}

TEST(LargeInputs, WholeByteWidthDoesNotDependOnWhereTheLargestValueIs) {
  for (size_t at : kPeaks) {
    const Values v = withPeak(at, 200, 70000);
    int64_t lo = 0, refLo = 0;
    const Bytes got = vaskor::ne::encode(v, lo);
    ASSERT_EQ(got, vaskor_ref::neEncode(v, refLo)) << at;
    ASSERT_EQ(lo, refLo) << at;
    EXPECT_EQ(lo, at < kLarge ? 3 : 1);
  }
}

TEST(LargeInputs, WidthThatGrowsSeveralTimesGivesTheReferenceBytes) {
  // Each peak is wider than those before it, so the pack goes on wider from
  // each and packs what came before again at the end; the last peak is
  // narrower and must not narrow anything. Both forms, both codecs, every
  // row (with and without kernels that find the largest value as they pack).
  const std::pair<size_t, int64_t> peaks[] = {
      {3000, 300}, {kLarge / 3, int64_t{1} << 30}, {kLarge - 100, INT64_MAX - 7}, {kLarge - 1, 1000}};
  Values v = withPeak(kLarge, 4, 0);
  for (const auto& [at, peak] : peaks) v[at] = peak;
  const vaskor::detail::Kernels& chosen = vaskor::detail::kernels();
  for (const vaskor::detail::KernelRow& row : vaskor::detail::kernelRows()) {
    if (!row.supported) continue;
    vaskor::detail::useKernels(*row.kernels);
    SCOPED_TRACE(row.kernels->name);
    for (bool bits : {true, false}) {
      int64_t refLo = 0, lo = 0, intoLo = 0;
      const Bytes want = bits ? vaskor_ref::bpeEncode(v, refLo) : vaskor_ref::neEncode(v, refLo);
      EXPECT_EQ(bits ? vaskor::bpe::encode(v, lo) : vaskor::ne::encode(v, lo), want) << bits;
      EXPECT_EQ(lo, refLo);
      Bytes into(bits ? vaskor::bpe::maxPackedSize(v.size()) : vaskor::ne::maxPackedSize(v.size()), 0xA5);
      into.resize(bits ? vaskor::bpe::encodeInto(v, into, intoLo) : vaskor::ne::encodeInto(v, into, intoLo));
      EXPECT_EQ(into, want) << bits;
      EXPECT_EQ(intoLo, refLo);
    }
  }
  vaskor::detail::useKernels(chosen);
}

TEST(LargeInputs, DecodeInChunks) {
  std::mt19937_64 rng(5);
  Bytes b(300'001);
  for (uint8_t& x : b) x = static_cast<uint8_t>(rng());
  for (int64_t l : {1, 3, 8, 64, 65, 77}) ASSERT_EQ(vaskor::bpe::decode(b, l), vaskor_ref::bpeDecode(b, l)) << l;
  for (int64_t l : {1, 3, 8, 9}) ASSERT_EQ(vaskor::ne::decode(b, l), vaskor_ref::neDecode(b, l)) << l;
}

}  // namespace
