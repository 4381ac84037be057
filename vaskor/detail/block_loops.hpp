// The blocked layout's loops over a block's places (private), compiled once
// per instruction set the kernel rows are built for, as the frames' typed
// loops are (detail/frame_loops.hpp). Each is a plain loop the vectoriser
// takes; a block is at most kBlockValues places, in the first-level cache.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

// Dictionary tables up to this size are searched by comparing with each entry.
inline constexpr size_t kSmallTable = 16;

struct BlockStats {
  uint64_t umin, umax;  // of the values' places
  uint64_t omin, omax;  // of the differences' places (n >= 2)
};

struct BlockLoops {
  // The differences' places of n places into o[1..n).
  void (*differences)(const uint64_t* u, size_t n, uint64_t mask, uint64_t sign, uint64_t* o);
  // Of xs (n >= 1) within `span` of `anchor` (above it, or below it when
  // `below`): the least and the greatest.
  void (*windowRange)(const uint64_t* xs, size_t n, uint64_t anchor, bool below, uint64_t span, uint64_t* lo,
                      uint64_t* hi);
  // The codes of n places in a table of t <= kSmallTable ascending places,
  // and (bit c of *used) which codes occur; false when a place is in none.
  bool (*smallCodes)(const uint64_t* u, size_t n, const uint64_t* table, size_t t, uint16_t* codes, uint64_t* used);
  // How many xs lie outside [ref, ref + 2^w) (w < 64), and the most any
  // has past it: the largest ((xs − ref) & mask) >> w, into *most.
  uint64_t (*exceptions)(const uint64_t* xs, size_t n, uint64_t ref, int w, uint64_t mask, uint64_t* most);
  // Fields xs − ref.
  void (*offsets)(const uint64_t* xs, size_t n, uint64_t ref, int64_t* fields);
  // Fields (xs − ref) & (2^w − 1) (w < 64), and how many xs lie outside.
  uint64_t (*lowOffsets)(const uint64_t* xs, size_t n, uint64_t ref, int w, int64_t* fields);
  // How many xs lie `threshold` or more from `anchor` (above it, or below
  // it when `below`).
  uint64_t (*countFar)(const uint64_t* xs, size_t n, uint64_t anchor, bool below, uint64_t threshold);
  // Decoding 64-bit items in place: x += ref; a running sum from `first`
  // (x[0] = first, x[i] = x[i-1] + ref + x[i]); codes to table entries,
  // giving the largest code met (the table is read only below `entries`).
  void (*addReference)(uint64_t* x, size_t n, uint64_t ref);
  void (*runningSum)(uint64_t* x, size_t n, uint64_t first, uint64_t ref);
  uint64_t (*lookUp)(const int64_t* codes, size_t n, const uint64_t* table, uint64_t entries, uint64_t* out);
};

// The loops of the kernel row in use, and those built in.
const BlockLoops& blockLoops();
const BlockLoops& scalarBlockLoops();
const BlockLoops& avx2BlockLoops();
const BlockLoops& avx512BlockLoops();

}  // namespace vaskor::frame::detail

// Defines `const BlockLoops& NAME##BlockLoops()`, every loop compiled with
// the attributes `...` (a target).
#define VASKOR_BLOCK_LOOPS(NAME, ...)                                                                           \
  namespace vaskor::frame::detail {                                                                             \
  namespace {                                                                                                   \
  struct NAME##Block {                                                                                          \
    [[__VA_ARGS__]] static void differences(const uint64_t* __restrict u, size_t n, uint64_t mask,            \
                                            uint64_t sign, uint64_t* __restrict o) {                            \
      for (size_t i = 1; i < n; ++i) o[i] = ((u[i] - u[i - 1]) & mask) ^ sign;                                   \
    }                                                                                                           \
    [[__VA_ARGS__]] static void windowRange(const uint64_t* __restrict xs, size_t n, uint64_t anchor, bool below, \
                                            uint64_t span, uint64_t* lo, uint64_t* hi) {                        \
      /* Outside the window: all ones for the least, zero for the greatest. */                                 \
      const uint64_t turn = below ? ~uint64_t{0} : 0;                                                           \
      uint64_t l = ~uint64_t{0}, h = 0;                                                                         \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t x = xs[i], out = 0 - static_cast<uint64_t>(((x - anchor) ^ turn) + (turn & 1) > span);  \
        const uint64_t a = x | out, b = x & ~out;                                                               \
        l = a < l ? a : l;                                                                                      \
        h = b > h ? b : h;                                                                                      \
      }                                                                                                         \
      *lo = l;                                                                                                  \
      *hi = h;                                                                                                  \
    }                                                                                                           \
    [[__VA_ARGS__]] static bool smallCodes(const uint64_t* __restrict u, size_t n, const uint64_t* table,      \
                                           size_t t, uint16_t* __restrict codes, uint64_t* used) {              \
      /* Entry by entry over all the places, each pass a vector compare. */                                   \
      uint64_t code[kBlockValues], hit[kBlockValues];                                                           \
      for (size_t i = 0; i < n; ++i) code[i] = hit[i] = 0;                                                      \
      uint64_t seen = 0;                                                                                        \
      for (size_t c = 0; c < t; ++c) {                                                                          \
        const uint64_t x = table[c];                                                                            \
        uint64_t any = 0;                                                                                       \
        for (size_t i = 0; i < n; ++i) {                                                                        \
          const uint64_t m = 0 - static_cast<uint64_t>(u[i] == x);                                              \
          code[i] |= m & c;                                                                                     \
          hit[i] |= m;                                                                                          \
          any |= m;                                                                                             \
        }                                                                                                       \
        seen |= (any & 1) << c;                                                                                 \
      }                                                                                                         \
      uint64_t found = ~uint64_t{0};                                                                            \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        found &= hit[i];                                                                                        \
        codes[i] = static_cast<uint16_t>(code[i]);                                                              \
      }                                                                                                         \
      *used = seen;                                                                                             \
      return found != 0;                                                                                        \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t exceptions(const uint64_t* __restrict xs, size_t n, uint64_t ref, int w,   \
                                               uint64_t mask, uint64_t* most) {                                 \
      uint64_t e = 0, m = 0;                                                                                    \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t high = ((xs[i] - ref) & mask) >> w;                                                      \
        e += (xs[i] - ref) >> w != 0;                                                                           \
        m = high > m ? high : m;                                                                                \
      }                                                                                                         \
      *most = m;                                                                                                \
      return e;                                                                                                 \
    }                                                                                                           \
    [[__VA_ARGS__]] static void offsets(const uint64_t* __restrict xs, size_t n, uint64_t ref,                  \
                                        int64_t* __restrict fields) {                                           \
      for (size_t i = 0; i < n; ++i) fields[i] = static_cast<int64_t>(xs[i] - ref);                             \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t lowOffsets(const uint64_t* __restrict xs, size_t n, uint64_t ref, int w,   \
                                               int64_t* __restrict fields) {                                    \
      const uint64_t span = (uint64_t{1} << w) - 1;                                                             \
      uint64_t e = 0;                                                                                           \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t d = xs[i] - ref;                                                                         \
        fields[i] = static_cast<int64_t>(d & span);                                                             \
        e += d > span;                                                                                          \
      }                                                                                                         \
      return e;                                                                                                 \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t countFar(const uint64_t* __restrict xs, size_t n, uint64_t anchor,         \
                                             bool below, uint64_t threshold) {                                  \
      uint64_t far = 0;                                                                                         \
      for (size_t i = 0; i < n; ++i) far += (below ? anchor - xs[i] : xs[i] - anchor) >= threshold;             \
      return far;                                                                                               \
    }                                                                                                           \
    [[__VA_ARGS__]] static void addReference(uint64_t* __restrict x, size_t n, uint64_t ref) {                  \
      for (size_t i = 0; i < n; ++i) x[i] += ref;                                                               \
    }                                                                                                           \
    [[__VA_ARGS__]] static void runningSum(uint64_t* __restrict x, size_t n, uint64_t first, uint64_t ref) {   \
      uint64_t acc = first;                                                                                     \
      x[0] = first;                                                                                             \
      for (size_t i = 1; i < n; ++i) x[i] = acc += ref + x[i];                                                  \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t lookUp(const int64_t* __restrict codes, size_t n, const uint64_t* table,   \
                                           uint64_t entries, uint64_t* __restrict out) {                        \
      uint64_t most = 0;                                                                                        \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t c = static_cast<uint64_t>(codes[i]);                                                     \
        most = c > most ? c : most;                                                                             \
        out[i] = table[c < entries ? c : 0];                                                                    \
      }                                                                                                         \
      return most;                                                                                              \
    }                                                                                                           \
  };                                                                                                            \
  }                                                                                                             \
  const BlockLoops& NAME##BlockLoops() {                                                                        \
    static constexpr BlockLoops loops{&NAME##Block::differences, &NAME##Block::windowRange, &NAME##Block::smallCodes, &NAME##Block::exceptions,    \
                                      &NAME##Block::offsets, &NAME##Block::lowOffsets,  \
                                      &NAME##Block::countFar,                        \
                                      &NAME##Block::addReference, &NAME##Block::runningSum, &NAME##Block::lookUp};                                                   \
    return loops;                                                                                               \
  }                                                                                                             \
  }
