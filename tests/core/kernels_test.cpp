// The library picks its inner loops by processor, one row of kernels per
// instruction set; every row this machine can run is checked here directly
// against results worked out by hand, so the rows it would not pick are
// tested too.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>

#include "tests/core/test_support.hpp"
#include "detail/kernels.hpp"

namespace vaskor::detail {
// Test listings name a row by its name.
void PrintTo(const KernelRow& row, std::ostream* os) { *os << row.kernels->name; }
}  // namespace vaskor::detail

namespace {

using namespace core_test;
using vaskor::detail::KernelRow;
using vaskor::detail::Kernels;

class KernelRows : public ::testing::TestWithParam<KernelRow> {
 protected:
  void SetUp() override {
    if (!GetParam().supported) GTEST_SKIP() << "this processor cannot run the " << GetParam().kernels->name << " row";
  }
  const Kernels& row() const { return *GetParam().kernels; }
};

int64_t largestOf(const Values& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Big-endian low nb bytes of each value, one byte at a time.
Bytes packedByHand(const Values& v, int nb) {
  Bytes out;
  for (int64_t x : v)
    for (int k = nb - 1; k >= 0; --k) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(x) >> (8 * k)));
  return out;
}

// Groups of nb bytes, the last one possibly short, read big-endian.
Values unpackedByHand(const Bytes& b, int nb) {
  Values out;
  for (size_t at = 0; at < b.size(); at += static_cast<size_t>(nb)) {
    uint64_t v = 0;
    for (size_t k = at; k < at + static_cast<size_t>(nb) && k < b.size(); ++k) v = (v << 8) | b[k];
    out.push_back(static_cast<int64_t>(v));
  }
  return out;
}

TEST_P(KernelRows, WholeBytes) {
  const auto pack = row().packWhole;
  const auto unpack = row().unpackWhole;
  std::mt19937_64 rng(77);
  for (int nb = 1; nb <= 8; ++nb) {
    for (size_t n = 0; n <= 70; ++n) {
      Values v(n);
      for (int64_t& x : v) x = static_cast<int64_t>(rng());
      Bytes got(n * static_cast<size_t>(nb));
      pack(nb, v.data(), got.data(), n);
      ASSERT_EQ(got, packedByHand(v, nb)) << nb << " " << n;
      if (row().packWholeLargest != nullptr) {
        if (n > 0) v[rng() % n] = static_cast<int64_t>(rng() >> 1);  // a largest value anywhere
        Bytes again(n * static_cast<size_t>(nb));
        ASSERT_EQ(row().packWholeLargest(nb, v.data(), again.data(), n), std::max<int64_t>(0, largestOf(v)));
        ASSERT_EQ(again, packedByHand(v, nb)) << nb << " " << n;
      }
    }
    for (size_t size = 0; size <= 150; ++size) {
      Bytes b(size);
      for (uint8_t& x : b) x = static_cast<uint8_t>(rng());
      const Values want = unpackedByHand(b, nb);
      Values got(want.size());
      unpack(nb, b.data(), b.size(), got.data());
      ASSERT_EQ(got, want) << nb << " " << size;
    }
  }
}

TEST_P(KernelRows, LargestValue) {
  const auto maxFromZero = row().maxFromZero;
  std::mt19937_64 rng(78);
  for (size_t n = 0; n <= 100; ++n) {
    for (int round = 0; round < 20; ++round) {
      Values v(n);
      for (int64_t& x : v) x = static_cast<int64_t>(rng()) >> (rng() % 64);
      // Put the largest value at every position in turn.
      if (n > 0) v[static_cast<size_t>(round) % n] = round % 2 ? INT64_MAX : 1;
      int64_t want = 0;
      for (int64_t x : v) want = std::max(want, x);
      ASSERT_EQ(maxFromZero(v.data(), n), want) << n;
    }
    const Values negatives(n, -5);
    ASSERT_EQ(maxFromZero(negatives.data(), n), 0);
  }
  // Long inputs, rising, falling and random with one spike, so that a scan
  // that adapts to its input takes each of its ways.
  for (size_t n : {1000, 4099, 20011}) {
    for (int shape = 0; shape < 3; ++shape) {
      Values v(n);
      for (size_t i = 0; i < n; ++i)
        v[i] = shape == 0 ? static_cast<int64_t>(i) * 7 - 100
               : shape == 1 ? static_cast<int64_t>(n - i) * 7
                            : static_cast<int64_t>(rng()) >> (8 + rng() % 56);
      if (shape == 2) v[rng() % n] = static_cast<int64_t>(rng() >> 1);
      ASSERT_EQ(maxFromZero(v.data(), n), std::max<int64_t>(0, largestOf(v))) << n << " " << shape;
    }
  }
}

// Fields of w bits, most significant first, one bit at a time; above bit 63
// a field holds zeros.
Bytes fieldsByHand(const Values& v, int w) {
  std::vector<int> bits;
  for (int64_t x : v)
    for (int j = w - 1; j >= 0; --j) bits.push_back(j < 64 ? static_cast<int>((static_cast<uint64_t>(x) >> j) & 1) : 0);
  Bytes out(bits.size() / 8);
  for (size_t i = 0; i < bits.size(); ++i) out[i / 8] = static_cast<uint8_t>(out[i / 8] | (bits[i] << (7 - i % 8)));
  return out;
}

// Groups of w bits read back: the last 64 bits of each.
Values groupsByHand(const Bytes& b, int w) {
  Values out;
  for (size_t at = 0; at + static_cast<size_t>(w) <= b.size() * 8; at += static_cast<size_t>(w)) {
    uint64_t v = 0;
    for (size_t i = at; i < at + static_cast<size_t>(w); ++i) v = (v << 1) | ((b[i / 8] >> (7 - i % 8)) & 1);
    out.push_back(static_cast<int64_t>(v));
  }
  return out;
}

// Whole blocks at every width, one to three of them, the values at every
// 8-byte step of a cache line and the packed bytes off any alignment.
TEST_P(KernelRows, BitBlocksEveryWidthAndOffset) {
  for (int w = 1; w <= vaskor::detail::kMaxBlockWidth; ++w) {
    std::mt19937_64 rng(static_cast<uint64_t>(w));
    for (size_t blocks = 1; blocks <= 3; ++blocks) {
      for (size_t shift = 0; shift < 8; ++shift) {
        alignas(64) int64_t storage[64 * 3 + 8];
        int64_t* in = storage + shift;
        for (size_t i = 0; i < 64 * blocks; ++i) in[i] = static_cast<int64_t>(rng()) >> (rng() % 4 == 0 ? 0 : rng() % 64);
        const Values v(in, in + 64 * blocks);
        const size_t bytes = 8 * static_cast<size_t>(w) * blocks;
        // Spare bytes on each side show a write outside the blocks.
        Bytes buf(bytes + 2, 0xA5);
        row().packBlocks[w](in, buf.data() + 1, blocks);
        ASSERT_EQ(buf.front(), 0xA5) << w;
        ASSERT_EQ(buf.back(), 0xA5) << w;
        const Bytes packed(buf.begin() + 1, buf.end() - 1);
        ASSERT_EQ(packed, fieldsByHand(v, w)) << "w=" << w << " blocks=" << blocks << " shift=" << shift;
        int64_t* back = storage + 7 - shift;
        back[64 * blocks] = 0x5A;
        row().unpackBlocks[w](buf.data() + 1, back, blocks);
        ASSERT_EQ(Values(back, back + 64 * blocks), groupsByHand(packed, w)) << w << " " << blocks;
        ASSERT_EQ(back[64 * blocks], 0x5A) << w;
      }
    }
  }
}

// Groups wider than a block field, from every bit offset: the last 64 bits
// of each. The data ends with the last group (a read past it is caught
// under ASan).
TEST_P(KernelRows, WideGroupsEveryOffset) {
  std::mt19937_64 rng(79);
  for (uint64_t w : {66, 67, 71, 72, 100, 127, 128, 129, 200, 255, 256, 1000}) {
    for (uint64_t firstBit = 0; firstBit < 8; ++firstBit) {
      for (size_t count : {1, 7, 8, 9, 17, 40, 67}) {
        Bytes data((firstBit + count * w + 7) / 8);
        for (uint8_t& x : data) x = static_cast<uint8_t>(rng());
        Values want;
        for (size_t k = 0; k < count; ++k) {
          uint64_t v = 0;
          for (uint64_t i = firstBit + (k + 1) * w - 64; i < firstBit + (k + 1) * w; ++i)
            v = (v << 1) | ((data[i / 8] >> (7 - i % 8)) & 1);
          want.push_back(static_cast<int64_t>(v));
        }
        Values got(count);
        row().unpackWideGroups(data.data(), firstBit, w, got.data(), count);
        ASSERT_EQ(got, want) << "w=" << w << " firstBit=" << firstBit << " count=" << count;
      }
    }
  }
}

TEST(Kernels, ChosenRowIsTheLastSupported) {
  const Kernels* last = nullptr;
  for (const KernelRow& r : vaskor::detail::kernelRows())
    if (r.supported) last = r.kernels;
  EXPECT_EQ(&vaskor::detail::kernels(), last);
  EXPECT_STREQ(vaskor::detail::kernelRows()[0].kernels->name, "scalar");
}

INSTANTIATE_TEST_SUITE_P(Rows, KernelRows, ::testing::ValuesIn(vaskor::detail::kernelRows().begin(),
                                                               vaskor::detail::kernelRows().end()),
                         [](const ::testing::TestParamInfo<KernelRow>& info) {
                           return std::string(info.param.kernels->name);
                         });

}  // namespace
