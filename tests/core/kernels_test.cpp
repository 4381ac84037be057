// The library picks its inner loops by processor; each variant is checked
// here directly, so the ones this machine would not pick are tested too.
#include <gtest/gtest.h>

#include <random>

#include "tests/core/test_support.hpp"
#include "vaskor/bit_blocks.hpp"
#include "vaskor/cpu_features.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/small_fields.hpp"
#include "vaskor/whole_bytes.hpp"

namespace {

using namespace core_test;

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

using Pack = void (*)(int, const int64_t*, uint8_t*, size_t);
using Unpack = void (*)(int, const uint8_t*, size_t, int64_t*);

void checkWholeBytes(Pack pack, Unpack unpack) {
  std::mt19937_64 rng(77);
  for (int nb = 1; nb <= 8; ++nb) {
    for (size_t n = 0; n <= 70; ++n) {
      Values v(n);
      for (int64_t& x : v) x = static_cast<int64_t>(rng());
      Bytes got(n * static_cast<size_t>(nb));
      pack(nb, v.data(), got.data(), n);
      ASSERT_EQ(got, packedByHand(v, nb)) << nb << " " << n;
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

TEST(Kernels, WholeBytesScalar) { checkWholeBytes(&vaskor::detail::packWholeScalar, &vaskor::detail::unpackWholeScalar); }

TEST(Kernels, WholeBytesAvx2) {
  if (!vaskor::detail::hasAvx2()) GTEST_SKIP() << "no AVX2 here";
  checkWholeBytes(&vaskor::detail::packWholeAvx2, &vaskor::detail::unpackWholeAvx2);
}

void checkMax(int64_t (*maxFromZero)(const int64_t*, size_t)) {
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
}

TEST(Kernels, MaxScalar) { checkMax(&vaskor::detail::maxFromZeroScalar); }

TEST(Kernels, MaxAvx512) {
  if (!vaskor::detail::hasAvx512f()) GTEST_SKIP() << "no AVX-512 here";
  checkMax(&vaskor::detail::maxFromZeroAvx512);
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

using PackBlocks = void (*)(int, const int64_t*, uint8_t*, size_t);
using UnpackBlocks = void (*)(int, const uint8_t*, int64_t*, size_t);

void checkBlocks(int w, PackBlocks pack, UnpackBlocks unpack) {
  std::mt19937_64 rng(static_cast<uint64_t>(w));
  for (size_t blocks = 1; blocks <= 3; ++blocks) {
    // Inputs starting at each 8-byte step within a cache line.
    for (size_t shift = 0; shift < 8; ++shift) {
      alignas(64) int64_t storage[64 * 3 + 8];
      int64_t* in = storage + shift;
      for (size_t i = 0; i < 64 * blocks; ++i) in[i] = static_cast<int64_t>(rng());
      const Values v(in, in + 64 * blocks);
      Bytes packed(8 * static_cast<size_t>(w) * blocks);
      pack(w, in, packed.data(), blocks);
      ASSERT_EQ(packed, fieldsByHand(v, w)) << w << " " << blocks << " " << shift;
      Values back(v.size());
      unpack(w, packed.data(), back.data(), blocks);
      ASSERT_EQ(back, groupsByHand(packed, w)) << w << " " << blocks;
    }
  }
}

constexpr auto kPackTable = vaskor::detail::packTable(std::make_integer_sequence<int, vaskor::detail::kMaxBlockWidth>{});
constexpr auto kUnpackTable =
    vaskor::detail::unpackTable(std::make_integer_sequence<int, vaskor::detail::kMaxBlockWidth>{});

TEST(Kernels, BitBlocksEveryWidth) {
  for (int w = 1; w <= vaskor::detail::kMaxBlockWidth; ++w)
    checkBlocks(
        w, [](int width, const int64_t* in, uint8_t* out, size_t n) { kPackTable[width](in, out, n); },
        [](int width, const uint8_t* in, int64_t* out, size_t n) { kUnpackTable[width](in, out, n); });
}

TEST(Kernels, SmallFieldBlocks) {
  if (!vaskor::detail::hasAvx512VbmiBmi2()) GTEST_SKIP() << "no AVX-512 VBMI and BMI2 here";
  for (int w = 1; w <= vaskor::detail::kMaxSmallField; ++w)
    checkBlocks(w, &vaskor::detail::packSmallFields, &vaskor::detail::unpackSmallFields);
}

}  // namespace
