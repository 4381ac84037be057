// Every inner loop the codecs use, one row per instruction set (private;
// the rows live in vaskor/kernels/). The row is picked once, at first use,
// from what the processor has; the codecs call through it and never test
// the processor themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace vaskor::frame::detail {
// The frames' loops for each element type (detail/frame_loops.hpp).
struct TypeLoops;
using FrameLoops = std::array<TypeLoops, 8>;
struct BlockLoops;
}  // namespace vaskor::frame::detail

namespace vaskor::detail {

inline constexpr int kBlockFields = 64;
// Widths 1..kMaxBlockWidth have a block routine; wider groups go the generic way.
inline constexpr int kMaxBlockWidth = 65;
inline constexpr int kMaxWholeWidth = 8;

// Of `count` steps `stride` bytes apart over count * stride bytes, each
// touching `reach` bytes from its start, how many come first and touch no
// byte past the end: the kernels run those in place, the rest through a
// copy.
constexpr size_t stepsInside(size_t count, size_t stride, size_t reach) {
  const size_t total = count * stride;
  if (total < reach) return 0;
  const size_t inside = (total - reach) / stride + 1;
  return inside < count ? inside : count;
}

// Whole blocks of 64 fields of a fixed bit width (8 bytes per bit of width),
// most significant bit first; unpacking gives the last min(width, 64) bits
// of each field.
using PackBlocks = void (*)(const int64_t* in, uint8_t* out, size_t blocks);
using UnpackBlocks = void (*)(const uint8_t* in, int64_t* out, size_t blocks);
// The same pack, also returning the larger of 0 and the greatest value packed.
using PackBlocksLargest = int64_t (*)(const int64_t* in, uint8_t* out, size_t blocks);

// A table by bit width: entry w (1..kMaxBlockWidth) is pick.operator()<w>(),
// entry 0 null.
template <class Entry, class Pick>
constexpr std::array<Entry, kMaxBlockWidth + 1> everyWidth(Pick pick) {
  return [&]<int... w>(std::integer_sequence<int, w...>) {
    return std::array<Entry, kMaxBlockWidth + 1>{Entry{nullptr}, pick.template operator()<w + 1>()...};
  }(std::make_integer_sequence<int, kMaxBlockWidth>{});
}

struct Kernels {
  const char* name;
  // The larger of 0 and the greatest of `count` values.
  int64_t (*maxFromZero)(const int64_t* values, size_t count);
  // Indexed by width 1..kMaxBlockWidth; entry 0 is unused.
  std::array<PackBlocks, kMaxBlockWidth + 1> packBlocks;
  std::array<UnpackBlocks, kMaxBlockWidth + 1> unpackBlocks;
  // Where not null, cheaper than maxFromZero followed by packBlocks.
  std::array<PackBlocksLargest, kMaxBlockWidth + 1> packBlocksLargest;
  // Groups of bitWidth > kMaxBlockWidth bits, the first at bit `firstBit`
  // of `data`: the last 64 bits of each of `count` groups; reads no byte
  // past the last group.
  void (*unpackWideGroups)(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth, int64_t* out, size_t count);
  // Whole-byte format, 1..kMaxWholeWidth bytes per value: packWhole writes
  // the low byteWidth bytes of each of `count` values, big-endian;
  // unpackWhole reads the ceil(size / byteWidth) groups, a short last group
  // from the bytes it has.
  void (*packWhole)(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
  void (*unpackWhole)(int byteWidth, const uint8_t* in, size_t size, int64_t* out);
  // Where not null, packWhole also returning the larger of 0 and the
  // greatest value packed, cheaper than maxFromZero followed by packWhole.
  int64_t (*packWholeLargest)(int byteWidth, const int64_t* in, uint8_t* out, size_t count);
  // The frames' transform loops and the blocked layout's loops over a
  // block, compiled for the row's instruction set.
  const frame::detail::FrameLoops& (*frameLoops)();
  const frame::detail::BlockLoops& (*blockLoops)();
};

// The row in use.
const Kernels& kernels();

// A row as the table sees it. Each row file defines `KernelRow <name>Row()`,
// which alone says which processors the row serves.
struct KernelRow {
  const Kernels* kernels;
  bool supported;  // whether this processor can run it
};
// Every row built in, the portable one first and the preferred one last.
std::span<const KernelRow> kernelRows();

// For benchmarks and tests that compare rows through the public codecs; the
// row must be supported, and nothing may run a codec meanwhile.
void useKernels(const Kernels& row);

}  // namespace vaskor::detail
