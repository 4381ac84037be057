// The AVX2 row (x86-64 only; used where the processor has AVX2).
#include <utility>

#include "vaskor/bit_blocks.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/whole_bytes.hpp"

namespace vaskor::detail {

const Kernels& avx2Kernels() {
  static constexpr Kernels row{
      .name = "avx2",
      // AVX2 has no 64-bit max, and compare-and-blend measured no faster.
      .maxFromZero = &maxFromZeroScalar,
      .packBlocks = packTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .unpackBlocks = unpackTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .packBlocksLargest = {},
      .packWhole = &packWholeAvx2,
      .unpackWhole = &unpackWholeAvx2,
  };
  return row;
}

}  // namespace vaskor::detail
