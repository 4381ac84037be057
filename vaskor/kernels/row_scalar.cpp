// The portable row: plain C++ that builds for any 64-bit target and runs on
// every processor.
#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"
#include "detail/kernels.hpp"
#include "kernels/bit_blocks.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

KernelRow scalarRow() {
  static constexpr Kernels row{
      .name = "scalar",
      .maxFromZero = &maxFromZeroScalar,
      .packBlocks = everyWidth<PackBlocks>([]<int w>() -> PackBlocks { return &BitBlock<w>::pack; }),
      .unpackBlocks = everyWidth<UnpackBlocks>([]<int w>() -> UnpackBlocks { return &BitBlock<w>::unpack; }),
      .packBlocksLargest = {},
      .unpackWideGroups = &unpackWideGroupsScalar,
      .packWhole = &packWholeScalar,
      .unpackWhole = &unpackWholeScalar,
      .packWholeLargest = nullptr,
      .frameLoops = &frame::detail::scalarFrameLoops,
      .blockLoops = &frame::detail::scalarBlockLoops,
  };
  return {&row, true};
}

}  // namespace vaskor::detail
