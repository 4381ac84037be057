// The portable row: plain C++ that builds for any 64-bit target and runs on
// every processor.
#include <utility>

#include "vaskor/kernels.hpp"
#include "vaskor/kernels/bit_blocks.hpp"
#include "vaskor/kernels/scalar.hpp"

namespace vaskor::detail {

KernelRow scalarRow() {
  static constexpr Kernels row{
      .name = "scalar",
      .maxFromZero = &maxFromZeroScalar,
      .packBlocks = packTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .unpackBlocks = unpackTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .packBlocksLargest = {},
      .unpackWideGroups = &unpackWideGroupsScalar,
      .packWhole = &packWholeScalar,
      .unpackWhole = &unpackWholeScalar,
      .packWholeLargest = nullptr,
  };
  return {&row, true};
}

}  // namespace vaskor::detail
