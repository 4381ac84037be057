// Structured random columns for the blocked layout's tests and fuzzers: the
// shapes its schemes are for (runs, few distinct values, outliers,
// sentinels, sorted ids, walks, regimes, padded edges) at lengths around
// block and segment boundaries, as the low 8·size bits of 64-bit words.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace vaskor_ref {

class Columns {
 public:
  explicit Columns(uint64_t seed) : rng_(seed) {}

  static constexpr int kShapes = 12;

  // A column of shape `shape` (0..kShapes-1) and about n values, of size-byte items.
  std::vector<uint64_t> make(int shape, size_t n, int size) {
    const int k = 8 * size;
    const uint64_t mask = size == 8 ? ~uint64_t{0} : (uint64_t{1} << k) - 1;
    std::vector<uint64_t> v(n);
    const int bits = 1 + static_cast<int>(below(static_cast<uint64_t>(k)));
    const uint64_t base = rng_();
    switch (shape) {
      case 0:  // evenly spread at a width
        for (auto& x : v) x = base + bitsOf(bits);
        break;
      case 1:  // constant
        for (auto& x : v) x = base;
        break;
      case 2: {  // runs of a random length
        const uint64_t run = 1 + below(600);
        uint64_t x = bitsOf(bits);
        for (size_t i = 0; i < n; ++i) {
          if (i % run == 0 || below(run * 4) == 0) x = base + bitsOf(bits);
          v[i] = x;
        }
        break;
      }
      case 3: {  // few distinct values
        uint64_t table[8];
        const uint64_t t = 2 + below(7);
        for (uint64_t j = 0; j < t; ++j) table[j] = base + bitsOf(bits);
        for (auto& x : v) x = table[below(t)];
        break;
      }
      case 4:  // narrow values with rare outliers
        for (auto& x : v) x = below(50) == 0 ? rng_() : base + bitsOf(std::min(bits, 12));
        break;
      case 5: {  // a sentinel (all ones, the type's minimum or 0) every so often
        const uint64_t sentinel = below(3) == 0 ? mask : below(2) == 0 ? uint64_t{1} << (k - 1) : 0;
        const uint64_t every = 1 + below(3000);
        for (size_t i = 0; i < n; ++i) v[i] = i % every == 0 ? sentinel : base + bitsOf(bits);
        break;
      }
      case 6: {  // sorted ids with gaps, a long tail now and then
        uint64_t x = base;
        for (auto& y : v) y = x += below(20) == 0 ? rng_() >> (64 - bits) : below(1 + below(200));
        break;
      }
      case 7: {  // a walk, falling and rising
        uint64_t x = base;
        const uint64_t step = 1 + below(300);
        for (auto& y : v) y = x += below(2 * step + 1) - step;
        break;
      }
      case 8: {  // timestamps: a period with jitter
        const uint64_t period = 1 + below(1000000);
        const uint64_t jitter = below(3) == 0 ? 0 : below(200);
        for (size_t i = 0; i < n; ++i) v[i] = base + i * period + (jitter ? below(jitter) : 0);
        break;
      }
      case 9:  // two regimes
        for (size_t i = 0; i < n; ++i) v[i] = (i < n / 2 ? base : base + (rng_() >> 8)) + bitsOf(std::min(bits, 10));
        break;
      case 10:  // a padded edge: a few values, then the fill value
        for (size_t i = 0; i < n; ++i) v[i] = i < 1 + below(5) ? rng_() : base;
        break;
      default:  // any bits at all
        for (auto& x : v) x = rng_();
        break;
    }
    for (auto& x : v) x &= mask;
    return v;
  }

  // Lengths around the block (1024) and segment (64 blocks) edges.
  size_t length() {
    switch (below(6)) {
      case 0: return below(40);
      case 1: return 1024 * (1 + below(3)) + below(3) - 1;
      case 2: return below(5000);
      case 3: return 65536 + below(3) - 1;
      default: return below(3000);
    }
  }

  uint64_t below(uint64_t n) { return n == 0 ? 0 : rng_() % n; }

 private:
  uint64_t bitsOf(int bits) { return bits >= 64 ? rng_() : rng_() & ((uint64_t{1} << bits) - 1); }
  std::mt19937_64 rng_;
};

}  // namespace vaskor_ref
