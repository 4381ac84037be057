// The AVX2 row (x86-64 only; used where the processor has AVX2).
#include <utility>

#include "vaskor/bit_blocks.hpp"
#include "vaskor/bit_blocks_avx2.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/whole_bytes.hpp"

namespace vaskor::detail {

namespace {

// The largest value of a chunk is taken while its values are in the
// first-level cache, right before they are packed.
template <int W>
int64_t packLargest(const int64_t* in, uint8_t* out, size_t blocks) {
  const int64_t top = maxFromZeroAvx2(in, blocks * kBlockFields);
  avx2Kernels().packBlocks[W](in, out, blocks);
  return top;
}

Kernels makeRow() {
  Kernels row{
      .name = "avx2",
      .maxFromZero = &maxFromZeroAvx2,
      .packBlocks = packTable(std::make_integer_sequence<int, kMaxBlockWidth>{}),
      .unpackBlocks = avx2UnpackBlocks(),
      .packBlocksLargest = {},
      .packWhole = &packWholeAvx2,
      .unpackWhole = &unpackWholeAvx2,
  };
  for (int w = 1; w <= kMaxBlockWidth; ++w)
    if (avx2PackBlocks()[w] != nullptr) row.packBlocks[w] = avx2PackBlocks()[w];
  [&]<int... I>(std::integer_sequence<int, I...>) {
    ((row.packBlocksLargest[I + 1] = &packLargest<I + 1>), ...);
  }(std::make_integer_sequence<int, kMaxBlockWidth>{});
  return row;
}

}  // namespace

const Kernels& avx2Kernels() {
  static const Kernels row = makeRow();
  return row;
}

}  // namespace vaskor::detail
