// The frames' typed loops (detail/frame_transform.hpp) compiled once per
// instruction set the kernel rows are built for (private). The frames use
// the set of the kernel row in use, so the processor is tested in one place
// only, and a test that switches rows switches these too.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "vaskor/frame.hpp"
#include "detail/frame_transform.hpp"
#include "detail/kernels.hpp"

namespace vaskor::frame::detail {

// One element type's loops; see frame_transform.hpp.
struct TypeLoops {
  Range64 (*range)(const uint8_t* v, size_t n);
  Range64 (*differenceRange)(const uint8_t* v, size_t n);
  void (*forFill)(const uint8_t* v, uint64_t reference, size_t from, size_t n, int64_t* stage);
  void (*deltaFill)(const uint8_t* v, uint64_t reference, size_t from, size_t n, int64_t* stage);
  void (*forDrain)(const int64_t* stage, uint64_t reference, size_t from, size_t n, uint8_t* out);
  uint64_t (*deltaDrain)(const int64_t* stage, uint64_t reference, uint64_t previous, size_t from, size_t n,
                         uint8_t* out);
};

// FrameLoops (detail/kernels.hpp) is indexed by typeIndex.

constexpr size_t typeIndex(ElementType t) {
  return static_cast<size_t>(std::countr_zero(itemSize(t))) + (isSigned(t) ? 0 : 4);
}

// The loops of the kernel row in use.
const FrameLoops& frameLoops();

// The copies built in; each kernel row holds its own.
const FrameLoops& scalarFrameLoops();
const FrameLoops& avx2FrameLoops();
const FrameLoops& avx512FrameLoops();

}  // namespace vaskor::frame::detail

// Defines `const FrameLoops& NAME##FrameLoops()`, every loop compiled with
// the attributes `...` (a target).
#define VASKOR_FRAME_LOOPS(NAME, ...)                                                                                \
  namespace vaskor::frame::detail {                                                                                  \
  namespace {                                                                                                        \
  template <class T>                                                                                                 \
  struct NAME##Loops {                                                                                               \
    [[__VA_ARGS__]] static Range64 range(const uint8_t* v, size_t n) { return rangeOf<T>(v, n); }                   \
    [[__VA_ARGS__]] static Range64 differenceRange(const uint8_t* v, size_t n) { return differenceRangeOf<T>(v, n); } \
    [[__VA_ARGS__]] static void fillFor(const uint8_t* v, uint64_t r, size_t from, size_t n, int64_t* s) {          \
      forFill<T>(v, r, from, n, s);                                                                                  \
    }                                                                                                                \
    [[__VA_ARGS__]] static void fillDelta(const uint8_t* v, uint64_t r, size_t from, size_t n, int64_t* s) {        \
      deltaFill<T>(v, r, from, n, s);                                                                                \
    }                                                                                                                \
    [[__VA_ARGS__]] static void drainFor(const int64_t* s, uint64_t r, size_t from, size_t n, uint8_t* out) {       \
      forDrain<T>(s, r, from, n, out);                                                                               \
    }                                                                                                                \
    [[__VA_ARGS__]] static uint64_t drainDelta(const int64_t* s, uint64_t r, uint64_t p, size_t from, size_t n,     \
                                               uint8_t* out) {                                                       \
      return deltaDrain<T>(s, r, p, from, n, out);                                                                   \
    }                                                                                                                \
    static constexpr TypeLoops row{&range, &differenceRange, &fillFor, &fillDelta, &drainFor, &drainDelta};         \
  };                                                                                                                 \
  }                                                                                                                  \
  const FrameLoops& NAME##FrameLoops() {                                                                             \
    static constexpr FrameLoops loops{NAME##Loops<int8_t>::row,  NAME##Loops<int16_t>::row,                          \
                                      NAME##Loops<int32_t>::row, NAME##Loops<int64_t>::row,                          \
                                      NAME##Loops<uint8_t>::row, NAME##Loops<uint16_t>::row,                         \
                                      NAME##Loops<uint32_t>::row, NAME##Loops<uint64_t>::row};                       \
    return loops;                                                                                                    \
  }                                                                                                                  \
  }
