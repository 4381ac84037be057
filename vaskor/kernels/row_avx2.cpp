// The AVX2 row (built on x86-64).
#include <initializer_list>

#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"
#include "detail/kernels.hpp"
#include "kernels/avx2.hpp"

namespace vaskor::detail {

namespace {

// Width by width, the first of `families` that serves it.
PackingFamily preferred(std::initializer_list<const PackingFamily*> families) {
  PackingFamily chosen{};
  for (int w = 1; w <= kMaxBlockWidth; ++w) {
    for (const PackingFamily* f : families)
      if (chosen.pack[w] == nullptr) chosen.pack[w] = f->pack[w];
    for (const PackingFamily* f : families)
      if (chosen.packLargest[w] == nullptr) chosen.packLargest[w] = f->packLargest[w];
  }
  return chosen;
}

Kernels makeRow() {
  // Fastest first, as measured (avx2.hpp says where each family wins).
  const PackingFamily packing = preferred({&pairedPacking(), &narrowPacking(), &blockPacking(), &windowPacking()});
  return Kernels{
      .name = "avx2",
      .maxFromZero = &maxFromZeroAvx2,
      .packBlocks = packing.pack,
      .unpackBlocks = avx2UnpackBlocks(),
      .packBlocksLargest = packing.packLargest,
      .unpackWideGroups = &unpackWideGroupsAvx2,
      .packWhole = &packWholeAvx2,
      .unpackWhole = &unpackWholeAvx2,
      .packWholeLargest = &packWholeLargestAvx2,
      .frameLoops = &frame::detail::avx2FrameLoops,
      .blockLoops = &frame::detail::avx2BlockLoops,
  };
}

}  // namespace

KernelRow avx2Row() {
  static const Kernels row = makeRow();
  return {&row, cpuRunsAvx2()};
}

}  // namespace vaskor::detail
