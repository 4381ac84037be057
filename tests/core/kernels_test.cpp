// The library picks its inner loops by processor; each variant is checked
// here directly, so the ones this machine would not pick are tested too.
#include <gtest/gtest.h>

#include <random>

#include "tests/core/test_support.hpp"
#include "vaskor/cpu_features.hpp"
#include "vaskor/max_value.hpp"
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

}  // namespace
