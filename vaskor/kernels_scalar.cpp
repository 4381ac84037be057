// The portable row: plain C++ that builds for any 64-bit little-endian target.
#include <utility>

#include "vaskor/bit_blocks.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/whole_bytes.hpp"

namespace vaskor::detail {

const Kernels& scalarKernels() {
  static constexpr Kernels row{
      .name = "scalar",
      .maxFromZero = &maxFromZeroScalar,
      .packBlocks = packTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .unpackBlocks = unpackTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .packBlocksLargest = {},
      .packWhole = &packWholeScalar,
      .unpackWhole = &unpackWholeScalar,
  };
  return row;
}

}  // namespace vaskor::detail
