// The blocked layout's loops over a block's places (private), compiled once
// per instruction set the kernel rows are built for, as the frames' typed
// loops are (detail/frame_loops.hpp). Each is a plain loop the vectoriser
// takes; a block is at most kBlockValues places, in the first-level cache.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::frame::detail {

// Dictionary tables up to this size are searched by comparing with each entry.
inline constexpr size_t kSmallTable = 16;

struct BlockStats {
  uint64_t umin, umax;  // of the values' places
  uint64_t omin, omax;  // of the differences' places (n >= 2)
  uint64_t runs;        // runs of equal values
};

struct BlockLoops {
  // The differences' places of n places into o[1..n).
  void (*differences)(const uint64_t* u, size_t n, uint64_t mask, uint64_t sign, uint64_t* o);
  // Of xs (n >= 1) within `span` of `anchor` (above it, or below it when
  // `below`): the least and the greatest.
  void (*windowRange)(const uint64_t* xs, size_t n, uint64_t anchor, bool below, uint64_t span, uint64_t* lo,
                      uint64_t* hi);
  // The second largest and the second smallest of n >= 2 xs, equal ones
  // counted apart.
  void (*secondOfEachEnd)(const uint64_t* xs, size_t n, uint64_t* high, uint64_t* low);
  // The codes of n places in a table of t <= kSmallTable ascending places,
  // and (bit c of *used) which codes occur; false when a place is in none.
  bool (*smallCodes)(const uint64_t* u, size_t n, const uint64_t* table, size_t t, uint16_t* codes, uint64_t* used);
  // How many xs lie outside [ref, ref + span].
  uint64_t (*outside)(const uint64_t* xs, size_t n, uint64_t ref, uint64_t span);
  // Fields xs − ref.
  void (*offsets)(const uint64_t* xs, size_t n, uint64_t ref, int64_t* fields);
  // Fields (xs − ref) & span, and the most any offset has past the span:
  // the largest ((xs − ref) & mask) >> w (w < 64: span = 2^w − 1).
  uint64_t (*lowOffsets)(const uint64_t* xs, size_t n, uint64_t ref, int w, uint64_t mask, int64_t* fields);
  // That most alone.
  uint64_t (*overflowMax)(const uint64_t* xs, size_t n, uint64_t ref, int w, uint64_t mask);
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
    [[__VA_ARGS__]] static void secondOfEachEnd(const uint64_t* __restrict xs, size_t n, uint64_t* high,       \
                                                uint64_t* low) {                                                \
      uint64_t a = 0, c = ~uint64_t{0};                                                                         \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        a = xs[i] > a ? xs[i] : a;                                                                              \
        c = xs[i] < c ? xs[i] : c;                                                                              \
      }                                                                                                         \
      uint64_t b = 0, d = ~uint64_t{0}, na = 0, nc = 0;                                                         \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t x = xs[i], below = x < a ? x : 0, above = x > c ? x : ~uint64_t{0};                     \
        b = below > b ? below : b;                                                                              \
        d = above < d ? above : d;                                                                              \
        na += x == a;                                                                                           \
        nc += x == c;                                                                                           \
      }                                                                                                         \
      *high = na >= 2 ? a : b;                                                                                  \
      *low = nc >= 2 ? c : d;                                                                                   \
    }                                                                                                           \
    [[__VA_ARGS__]] static bool smallCodes(const uint64_t* __restrict u, size_t n, const uint64_t* table,      \
                                           size_t t, uint16_t* __restrict codes, uint64_t* used) {              \
      uint64_t found = ~uint64_t{0}, seen = 0;                                                                  \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        uint64_t code = 0, hit = 0;                                                                             \
        for (size_t c = 0; c < kSmallTable; ++c) {                                                              \
          const uint64_t m = 0 - static_cast<uint64_t>(c < t && u[i] == table[c < t ? c : 0]);                  \
          code |= m & c;                                                                                        \
          hit |= m;                                                                                             \
          seen |= m & (uint64_t{1} << c);                                                                       \
        }                                                                                                       \
        found &= hit;                                                                                           \
        codes[i] = static_cast<uint16_t>(code);                                                                 \
      }                                                                                                         \
      *used = seen;                                                                                             \
      return found != 0;                                                                                        \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t outside(const uint64_t* __restrict xs, size_t n, uint64_t ref,            \
                                            uint64_t span) {                                                    \
      uint64_t e = 0;                                                                                           \
      for (size_t i = 0; i < n; ++i) e += xs[i] - ref > span;                                                   \
      return e;                                                                                                 \
    }                                                                                                           \
    [[__VA_ARGS__]] static void offsets(const uint64_t* __restrict xs, size_t n, uint64_t ref,                  \
                                        int64_t* __restrict fields) {                                           \
      for (size_t i = 0; i < n; ++i) fields[i] = static_cast<int64_t>(xs[i] - ref);                             \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t lowOffsets(const uint64_t* __restrict xs, size_t n, uint64_t ref, int w,   \
                                               uint64_t mask, int64_t* __restrict fields) {                     \
      const uint64_t span = (uint64_t{1} << w) - 1;                                                             \
      uint64_t most = 0;                                                                                        \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t d = (xs[i] - ref) & mask, high = d >> w;                                                 \
        fields[i] = static_cast<int64_t>(d & span);                                                             \
        most = high > most ? high : most;                                                                       \
      }                                                                                                         \
      return most;                                                                                              \
    }                                                                                                           \
    [[__VA_ARGS__]] static uint64_t overflowMax(const uint64_t* __restrict xs, size_t n, uint64_t ref, int w,  \
                                                uint64_t mask) {                                                \
      uint64_t most = 0;                                                                                        \
      for (size_t i = 0; i < n; ++i) {                                                                          \
        const uint64_t high = ((xs[i] - ref) & mask) >> w;                                                      \
        most = high > most ? high : most;                                                                       \
      }                                                                                                         \
      return most;                                                                                              \
    }                                                                                                           \
  };                                                                                                            \
  }                                                                                                             \
  const BlockLoops& NAME##BlockLoops() {                                                                        \
    static constexpr BlockLoops loops{&NAME##Block::differences, &NAME##Block::windowRange, &NAME##Block::secondOfEachEnd, &NAME##Block::smallCodes, &NAME##Block::outside,    \
                                      &NAME##Block::offsets, &NAME##Block::lowOffsets,  \
                                      &NAME##Block::overflowMax};                                                   \
    return loops;                                                                                               \
  }                                                                                                             \
  }
