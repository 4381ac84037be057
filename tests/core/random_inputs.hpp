// Random inputs for the differential tests: value sequences that reach every
// width, with the values where packing goes wrong most easily (near powers
// of two, near the raised bit-length results, negatives, the extremes), and
// byte strings with widths around every interesting size.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace core_test {

class RandomInputs {
 public:
  explicit RandomInputs(uint64_t seed) : rng_(seed) {}

  uint64_t next() { return rng_(); }
  uint64_t below(uint64_t n) { return rng_() % n; }

  // Mostly short (heads only), often a few blocks, sometimes up to 300.
  size_t length() {
    const uint64_t r = below(10);
    if (r < 6) return below(17);
    if (r < 9) return below(140);
    return below(301);
  }

  // A sequence whose largest value has about `bits` bits (0..63).
  std::vector<int64_t> values(size_t n, int bits) {
    std::vector<int64_t> out(n);
    for (int64_t& v : out) v = value(bits);
    return out;
  }

  std::vector<int64_t> values() { return values(length(), static_cast<int>(below(64))); }

  int64_t value(int bits) {
    const uint64_t top = bits == 0 ? 0 : (uint64_t{1} << (bits - 1));
    switch (below(8)) {
      case 0: {  // just around a power of two below the limit
        if (bits == 0) return 0;
        const int64_t p = int64_t{1} << below(static_cast<uint64_t>(bits));
        const int64_t v = p - 3 + static_cast<int64_t>(below(7));
        return v < 0 ? 0 : v;
      }
      case 1: {  // the last values below 2^bits, where bit lengths get raised
        const uint64_t p = uint64_t{1} << bits;  // bits <= 63
        const uint64_t span = p < 70000 ? p : 70000;
        return static_cast<int64_t>(p - 1 - below(span));
      }
      case 2:  // negative
        switch (below(4)) {
          case 0: return -1;
          case 1: return INT64_MIN;
          case 2: return -static_cast<int64_t>(below(1000)) - 1;
          default: return static_cast<int64_t>(next() | (uint64_t{1} << 63));
        }
      case 3:
        return 0;
      default:  // anything of at most `bits` bits
        return bits == 0 ? 0 : static_cast<int64_t>((next() & (top - 1)) | (below(2) ? top : 0));
    }
  }

  std::vector<uint8_t> bytes(size_t n) {
    std::vector<uint8_t> out(n);
    // Some strings are mostly zeros or ones, so sign and padding bits vary.
    const uint64_t style = below(4);
    for (uint8_t& b : out) {
      const uint8_t r = static_cast<uint8_t>(next());
      b = style == 0 ? static_cast<uint8_t>(r & 0x11) : style == 1 ? static_cast<uint8_t>(r | 0xEE) : r;
    }
    return out;
  }

  // Mostly short, sometimes long enough for several blocks of a wide field.
  size_t byteLength() {
    const uint64_t r = below(10);
    if (r < 6) return below(24);
    if (r < 9) return below(200);
    return below(1200);
  }

  // Widths -3..80 evenly, with a share of 0 and of extreme values.
  int64_t width() {
    const uint64_t r = below(100);
    if (r < 8) return 0;
    if (r < 10) {
      const int64_t extremes[] = {INT64_MIN, INT64_MIN + 1, INT64_MAX, int64_t{1} << 40, -(int64_t{1} << 40), 255, 256, 4096};
      return extremes[below(8)];
    }
    return static_cast<int64_t>(below(84)) - 3;
  }

 private:
  std::mt19937_64 rng_;
};

}  // namespace core_test
