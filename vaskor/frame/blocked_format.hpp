// The blocked layout's fixed numbers and the arithmetic of its type ring
// (private; docs/frame-format.md gives the layout byte by byte).
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

inline constexpr uint8_t kBlockShift = 10;
static_assert(uint64_t{1} << kBlockShift == kBlockValues);
// A segment holds at most this many blocks, so that its exceptions'
// positions fit 16 bits.
inline constexpr uint64_t kSegmentBlocks = 64;
// Dictionary tables and run-length runs have at most a block's values.
inline constexpr uint64_t kMaxEntries = kBlockValues;
inline constexpr int kMaxLengthWidth = 16;
// The encoder's choices (docs/frame-format.md, "How the encoder chooses").
inline constexpr uint64_t kSegmentExceptions = 1024;
inline constexpr uint64_t kJoinSlack = 4;
inline constexpr uint64_t kSampleSize = 32;

inline int bitlen(uint64_t x) { return std::bit_width(x); }
inline uint64_t bytesFor(uint64_t m, int w) { return (m * static_cast<uint64_t>(w) + 7) / 8; }
// 2^w − 1: the largest offset a window of width w holds.
inline uint64_t spanOf(int w) { return w >= 64 ? ~uint64_t{0} : (uint64_t{1} << w) - 1; }

// The values of a type modulo 2^k. A value's place is its position in the
// type's order (the sign bit flipped for signed types); a difference's
// place, its position among the signed differences.
struct Ring {
  size_t size;
  int k;
  uint64_t mask, sign;
  bool isSigned;
  explicit Ring(ElementType t)
      : size(itemSize(t)),
        k(static_cast<int>(8 * itemSize(t))),
        mask(k == 64 ? ~uint64_t{0} : (uint64_t{1} << k) - 1),
        sign(uint64_t{1} << (k - 1)),
        isSigned(frame::isSigned(t)) {}
  uint64_t placeOfValue(uint64_t v) const { return ((isSigned ? v ^ sign : v)) & mask; }
  uint64_t valueOfPlace(uint64_t u) const { return (isSigned ? u ^ sign : u) & mask; }
  // A difference's bits and its place are one sign flip apart.
  uint64_t flip(uint64_t x) const { return (x ^ sign) & mask; }
};

// The window start for [lo, hi] at width w: the value with the most low
// zero bits that still lets [start, start + 2^w) cover them, so that later
// blocks of the same column fit the same window.
inline uint64_t alignWindow(uint64_t lo, uint64_t hi, int w, int k) {
  const uint64_t floor = w < 64 && hi >= spanOf(w) ? hi - spanOf(w) : 0;
  for (int t = k; t > 0; --t) {
    const uint64_t r = t >= 64 ? 0 : lo & ~spanOf(t);
    if (r >= floor) return r;
  }
  return lo;
}

}  // namespace vaskor::frame::detail
