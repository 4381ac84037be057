// The frames' typed loops (detail/frame_transform.hpp) compiled once per
// instruction set the kernel rows are built for (private). The frames use
// the set of the kernel row in use, so the processor is tested in one place
// only, and a test that switches rows switches these too.
#pragma once

#include <array>
#include <iterator>
#include <tuple>
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
  void (*forDrain)(const int64_t* stage, uint64_t reference, size_t n, uint8_t* out);
  uint64_t (*deltaDrain)(const int64_t* stage, uint64_t reference, uint64_t previous, size_t n, uint8_t* out);
  uint64_t (*deltaSkip)(const int64_t* stage, uint64_t reference, uint64_t previous, size_t n);
  BlockStats (*placesStats)(const uint8_t* v, size_t n, uint64_t* places);
  void (*storeBits)(const uint64_t* bits, size_t n, uint8_t* out);
  void (*fillItems)(uint64_t bits, size_t n, uint8_t* out);
  void (*expandRuns)(const int64_t* values, const int64_t* lengths, size_t runs, uint64_t valueRef,
                     uint64_t lengthRef, size_t n, uint8_t* out);
};

// FrameLoops (detail/kernels.hpp) is indexed by typeIndex: a type's place
// in the table of element types.
#define VASKOR_TYPE_ORDER_ENTRY_(c, cxx, ...) ElementType::cxx,
inline constexpr ElementType kTypeOrder[] = {VASKOR_ELEMENT_TYPES(VASKOR_TYPE_ORDER_ENTRY_)};
#undef VASKOR_TYPE_ORDER_ENTRY_
static_assert(std::size(kTypeOrder) == std::tuple_size_v<FrameLoops>);

constexpr size_t typeIndex(ElementType t) {
  size_t i = 0;
  while (i < std::size(kTypeOrder) && kTypeOrder[i] != t) ++i;
  return i;
}

// The loops of every type, in that order, from a template of one type's.
#define VASKOR_FRAME_LOOPS_ROW_(c, cxx, byte, name, ctype) L<ctype>::row,
template <template <class> class L>
constexpr FrameLoops loopsOf() {
  return FrameLoops{VASKOR_ELEMENT_TYPES(VASKOR_FRAME_LOOPS_ROW_)};
}
#undef VASKOR_FRAME_LOOPS_ROW_

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
    [[__VA_ARGS__]] static void drainFor(const int64_t* s, uint64_t r, size_t n, uint8_t* out) {                    \
      forDrain<T>(s, r, n, out);                                                                                     \
    }                                                                                                                \
    [[__VA_ARGS__]] static uint64_t drainDelta(const int64_t* s, uint64_t r, uint64_t p, size_t n, uint8_t* out) {  \
      return deltaDrain<T>(s, r, p, n, out);                                                                         \
    }                                                                                                                \
    [[__VA_ARGS__]] static uint64_t skipDelta(const int64_t* s, uint64_t r, uint64_t p, size_t n) {                 \
      return deltaSkip<T>(s, r, p, n);                                                                               \
    }                                                                                                                \
    [[__VA_ARGS__]] static BlockStats places(const uint8_t* v, size_t n, uint64_t* u) {                            \
      return placesStats<T>(v, n, u);                                                                                \
    }                                                                                                                \
    [[__VA_ARGS__]] static void bits(const uint64_t* b, size_t n, uint8_t* out) { storeBits<T>(b, n, out); }       \
    [[__VA_ARGS__]] static void fill(uint64_t b, size_t n, uint8_t* out) { fillItems<T>(b, n, out); }              \
    [[__VA_ARGS__]] static void runs(const int64_t* v, const int64_t* l, size_t k, uint64_t vr, uint64_t lr,        \
                                     size_t n, uint8_t* out) {                                                       \
      expandRuns<T>(v, l, k, vr, lr, n, out);                                                                        \
    }                                                                                                                \
    static constexpr TypeLoops row{&range,      &differenceRange, &fillFor, &fillDelta, &drainFor,                   \
                                   &drainDelta, &skipDelta,       &places,  &bits,      &fill, &runs};               \
  };                                                                                                                 \
  }                                                                                                                  \
  const FrameLoops& NAME##FrameLoops() {                                                                             \
    static constexpr FrameLoops loops = loopsOf<NAME##Loops>();                                                       \
    return loops;                                                                                                    \
  }                                                                                                                  \
  }
