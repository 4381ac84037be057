// The packing kernels that also report the largest value they packed (the
// bit-packed encoder checks its guessed width with them): the same bytes as
// the plain kernel of their row, and the larger of 0 and the greatest value,
// wherever that value sits (first values before a cache line, the aligned
// middle, the last groups) and at every 8-byte offset of the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "tests/core/test_support.hpp"
#include "detail/kernels.hpp"

namespace {

using namespace core_test;

TEST(Kernels, PackLargestMatchesPlainKernelAndValues) {
  int checked = 0;
  for (const vaskor::detail::KernelRow& r : vaskor::detail::kernelRows()) {
    if (!r.supported) {
      std::printf("[ SKIPPED  ] this processor cannot run the %s row\n", r.kernels->name);
      continue;
    }
    const vaskor::detail::Kernels& row = *r.kernels;
    std::mt19937_64 rng(314);
    for (int w = 1; w <= vaskor::detail::kMaxBlockWidth; ++w) {
      if (row.packBlocksLargest[w] == nullptr) continue;
      ++checked;
      for (size_t blocks : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{32}}) {
        const size_t n = 64 * blocks;
        std::vector<int64_t> storage(n + 64);
        // Start the input on a cache line, then at each 8-byte step past one.
        auto* lineStart = reinterpret_cast<int64_t*>((reinterpret_cast<uintptr_t>(storage.data()) + 63) & ~uintptr_t{63});
        for (size_t shift = 0; shift < 8; ++shift) {
          int64_t* in = lineStart + shift;
          for (size_t trial = 0; trial < 12; ++trial) {
            // Small values, negatives among them, and one largest value at a
            // chosen place: near the start, near the end, or anywhere.
            for (size_t i = 0; i < n; ++i) {
              const uint64_t r = rng();
              in[i] = (r & 7) == 0 ? -static_cast<int64_t>(r >> 40) - 1 : static_cast<int64_t>(r % 1000);
            }
            const size_t places[] = {0, 1, 7, 8, n / 2, n - 9, n - 8, n - 1, rng() % n};
            const size_t at = places[trial % 9];
            const int64_t big = trial == 10 ? -5 : static_cast<int64_t>(rng() >> (trial % 3));
            in[at] = big;
            if (trial == 11) std::fill(in, in + n, -3);  // nothing above 0

            const size_t bytes = 8 * static_cast<size_t>(w) * blocks;
            Bytes plain(bytes + 8, 0xEE), withLargest(bytes + 8, 0xEE);
            row.packBlocks[w](in, plain.data(), blocks);
            const int64_t got = row.packBlocksLargest[w](in, withLargest.data(), blocks);
            ASSERT_EQ(withLargest, plain) << row.name << " w=" << w << " blocks=" << blocks << " shift=" << shift;
            const int64_t want = std::max<int64_t>(0, *std::max_element(in, in + n));
            ASSERT_EQ(got, want) << row.name << " w=" << w << " blocks=" << blocks << " shift=" << shift << " at=" << at;
          }
        }
      }
    }
  }
  if (checked == 0) GTEST_SKIP() << "no row this processor runs has such a kernel";
}

}  // namespace
