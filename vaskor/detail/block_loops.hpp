// The blocked layout's loops over a block's places (private), compiled once
// per instruction set the kernel rows are built for, as the frames' typed
// loops are (detail/frame_loops.hpp). Each is a plain loop the vectoriser
// takes; a block is at most kBlockValues places, in the first-level cache.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::frame::detail {

struct BlockStats {
  uint64_t umin, umax;  // of the values' places
  uint64_t omin, omax;  // of the differences' places (n >= 2)
  uint64_t runs;        // runs of equal values
};

struct BlockLoops {
  // The statistics of n >= 1 places; the differences' places into o[1..n).
  BlockStats (*stats)(const uint64_t* u, size_t n, uint64_t mask, uint64_t sign, uint64_t* o);
  // Of xs (n >= 1) within `span` of `anchor` (above it, or below it when
  // `below`): the least and the greatest.
  void (*windowRange)(const uint64_t* xs, size_t n, uint64_t anchor, bool below, uint64_t span, uint64_t* lo,
                      uint64_t* hi);
  // How many xs lie outside [ref, ref + span].
  uint64_t (*outside)(const uint64_t* xs, size_t n, uint64_t ref, uint64_t span);
  // Fields xs − ref.
  void (*offsets)(const uint64_t* xs, size_t n, uint64_t ref, int64_t* fields);
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
    [[__VA_ARGS__]] static BlockStats stats(const uint64_t* u, size_t n, uint64_t mask, uint64_t sign,         \
                                            uint64_t* o) {                                                      \
      uint64_t umin = u[0], umax = u[0], omin = ~uint64_t{0}, omax = 0, changes = 0;                            \
      for (size_t i = 1; i < n; ++i) {                                                                          \
        const uint64_t x = u[i], d = ((x - u[i - 1]) & mask) ^ sign;                                            \
        o[i] = d;                                                                                               \
        umin = x < umin ? x : umin;                                                                             \
        umax = x > umax ? x : umax;                                                                             \
        omin = d < omin ? d : omin;                                                                             \
        omax = d > omax ? d : omax;                                                                             \
        changes += x != u[i - 1];                                                                               \
      }                                                                                                         \
      return {umin, umax, omin, omax, changes + 1};                                                             \
    }                                                                                                           \
    [[__VA_ARGS__]] static void windowRange(const uint64_t* xs, size_t n, uint64_t anchor, bool below,         \
                                            uint64_t span, uint64_t* lo, uint64_t* hi) {                        \
      uint64_t l = ~uint64_t{0}, h = 0;                                                                         \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t x = xs[i];                                                                               \
        const bool in = (below ? anchor - x : x - anchor) <= span;                                              \
        l = in && x < l ? x : l;                                                                                \
        h = in && x > h ? x : h;                                                                                \
      }                                                                                                         \
      *lo = l;                                                                                                  \
      *hi = h;                                                                                                  \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t outside(const uint64_t* xs, size_t n, uint64_t ref, uint64_t span) {       \
      uint64_t e = 0;                                                                                           \
      for (size_t i = 0; i < n; ++i) e += xs[i] - ref > span;                                                   \
      return e;                                                                                                 \
    }                                                                                                           \
    [[__VA_ARGS__]] static void offsets(const uint64_t* xs, size_t n, uint64_t ref, int64_t* fields) {          \
      for (size_t i = 0; i < n; ++i) fields[i] = static_cast<int64_t>(xs[i] - ref);                             \
    }                                                                                                           \
  };                                                                                                            \
  }                                                                                                             \
  const BlockLoops& NAME##BlockLoops() {                                                                        \
    static constexpr BlockLoops loops{&NAME##Block::stats, &NAME##Block::windowRange, &NAME##Block::outside,    \
                                      &NAME##Block::offsets};                                                   \
    return loops;                                                                                               \
  }                                                                                                             \
  }
