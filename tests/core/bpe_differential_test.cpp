// The bit-packed codec against the reference model on random inputs: every
// encoding byte for byte, every decoding value for value, failures by kind
// and message. Fixed seeds; split into parts so CTest can run them side by side.
#include <gtest/gtest.h>

#include "tests/core/random_inputs.hpp"
#include "tests/core/test_support.hpp"
#include "detail/kernels.hpp"

namespace {

using namespace core_test;

constexpr int kParts = 4;
constexpr int kCasesPerPart = 25'000;

class BpeDifferential : public testing::TestWithParam<int> {};

TEST_P(BpeDifferential, EncodeMatchesReference) {
  RandomInputs gen(1000 + static_cast<uint64_t>(GetParam()));
  for (int i = 0; i < kCasesPerPart; ++i) {
    const Values s = gen.values();
    int64_t lo = -1, refLo = -1;
    const Bytes got = vaskor::bpe::encode(s, lo);
    const Bytes want = vaskor_ref::bpeEncode(s, refLo);
    ASSERT_EQ(lo, refLo) << "case " << i;
    ASSERT_EQ(got, want) << "case " << i << " width " << lo;
    // And the encoder's own output read back with its width.
    ASSERT_EQ(vaskor::bpe::decode(got, lo), vaskor_ref::bpeDecode(want, lo)) << "case " << i;
  }
}

TEST_P(BpeDifferential, DecodeMatchesReference) {
  RandomInputs gen(2000 + static_cast<uint64_t>(GetParam()));
  for (int i = 0; i < kCasesPerPart; ++i) {
    const Bytes b = gen.bytes(gen.byteLength());
    const int64_t l = gen.width();
    const Outcome got = run([&] { return vaskor::bpe::decode(b, l); });
    const Outcome want = run([&] { return vaskor_ref::bpeDecode(b, l); });
    ASSERT_EQ(got, want) << "case " << i << " width " << l << " bytes " << describe(b);
  }
}

TEST(BpeDifferentialBlocks, EveryWidthWithWholeBlocksAndEveryHeadLength) {
  // For each width, lengths that give every head size next to whole blocks.
  RandomInputs gen(3000);
  for (int bits = 0; bits <= 63; ++bits) {
    for (size_t n = 64; n < 64 * 3; ++n) {
      const Values s = gen.values(n, bits);
      int64_t lo = 0, refLo = 0;
      const Bytes got = vaskor::bpe::encode(s, lo);
      ASSERT_EQ(got, vaskor_ref::bpeEncode(s, refLo)) << bits << " " << n;
      ASSERT_EQ(vaskor::bpe::decode(got, lo), vaskor_ref::bpeDecode(got, lo)) << bits << " " << n;
    }
  }
}

TEST(BpeDifferentialBlocks, ShortInputsAtEveryWidth) {
  // Inputs of a few bytes, whose groups a decode reads from one word: every
  // width up to the widest block, every cut, through both decode forms.
  RandomInputs gen(3100);
  for (int64_t l = 1; l <= 66; ++l) {
    for (size_t n = 0; n <= 12; ++n) {
      for (int rep = 0; rep < 8; ++rep) {
        const Bytes b = gen.bytes(n);
        const Outcome want = run([&] { return vaskor_ref::bpeDecode(b, l); });
        ASSERT_EQ(run([&] { return vaskor::bpe::decode(b, l); }), want) << l << " " << describe(b);
        Values into(want.values.size() + 1, -7);
        const Outcome got = run([&] {
          into.resize(vaskor::bpe::decodeInto(b, l, std::span<int64_t>(into)));
          return into;
        });
        ASSERT_EQ(got, want) << l << " " << describe(b);
      }
    }
  }
}

TEST(BpeDifferentialBlocks, EveryHeadLengthThroughEveryRow) {
  // The fields before the whole blocks go through a block kernel of the row
  // in use: every head length, a few widths, and decoding with a cut in
  // front of the head (random bytes at an explicit width).
  RandomInputs gen(3100);
  const vaskor::detail::Kernels& chosen = vaskor::detail::kernels();
  for (const vaskor::detail::KernelRow& row : vaskor::detail::kernelRows()) {
    if (!row.supported) continue;
    vaskor::detail::useKernels(*row.kernels);
    for (int bits : {0, 6, 12, 25, 31, 40, 62, 63}) {
      for (size_t n = 1; n < 64 * 2; ++n) {
        const Values s = gen.values(n, bits);
        int64_t lo = 0, refLo = 0;
        const Bytes got = vaskor::bpe::encode(s, lo);
        ASSERT_EQ(got, vaskor_ref::bpeEncode(s, refLo)) << row.kernels->name << " " << bits << " " << n;
        ASSERT_EQ(vaskor::bpe::decode(got, lo), vaskor_ref::bpeDecode(got, lo)) << row.kernels->name << " " << n;
        const Bytes raw = gen.bytes(n);
        const int64_t width = 1 + static_cast<int64_t>(gen.below(65));
        ASSERT_EQ(vaskor::bpe::decode(raw, width), vaskor_ref::bpeDecode(raw, width))
            << row.kernels->name << " " << n << " bytes at " << width << " bits";
      }
    }
  }
  vaskor::detail::useKernels(chosen);
}

INSTANTIATE_TEST_SUITE_P(Seeds, BpeDifferential, testing::Range(0, kParts));

}  // namespace
