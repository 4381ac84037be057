// The AVX-512 row (built on x86-64): the largest-value scan, every bit width
// and whole bytes in 512-bit steps.
#include <utility>

#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"
#include "detail/kernels.hpp"
#include "kernels/avx512.hpp"

namespace vaskor::detail {

namespace {

template <int bitWidth>
void packSmall(const int64_t* in, uint8_t* out, size_t blocks) {
  packSmallFields(bitWidth, in, out, blocks);
}
template <int bitWidth>
void unpackSmall(const uint8_t* in, int64_t* out, size_t blocks) {
  unpackSmallFields(bitWidth, in, out, blocks);
}
template <int bitWidth>
int64_t packSmallLargest(const int64_t* in, uint8_t* out, size_t blocks) {
  return packSmallFieldsLargest(bitWidth, in, out, blocks);
}
constexpr size_t kGroupsPerBlock = kBlockFields / 8;
template <int bitWidth>
void packWide(const int64_t* in, uint8_t* out, size_t blocks) {
  packWideFields(bitWidth, in, out, blocks * kGroupsPerBlock);
}
template <int bitWidth>
void unpackWide(const uint8_t* in, int64_t* out, size_t blocks) {
  unpackWideFields(bitWidth, in, out, blocks * kGroupsPerBlock);
}
template <int bitWidth>
int64_t packWideLargest(const int64_t* in, uint8_t* out, size_t blocks) {
  return packWideFieldsLargest(bitWidth, in, out, blocks * kGroupsPerBlock);
}

Kernels makeRow() {
  // Narrow fields by bit gather and scatter, the wider ones by byte permutes.
  static_assert(kMinWideField <= kMaxSmallField + 1 && kMaxWideField == kMaxBlockWidth);
  return Kernels{
      .name = "avx512",
      .maxFromZero = &maxFromZeroAvx512,
      .packBlocks = everyWidth<PackBlocks>([]<int w>() -> PackBlocks {
        if constexpr (w <= kMaxSmallField) return &packSmall<w>;
        else return &packWide<w>;
      }),
      .unpackBlocks = everyWidth<UnpackBlocks>([]<int w>() -> UnpackBlocks {
        if constexpr (w <= kMaxSmallField) return &unpackSmall<w>;
        else return &unpackWide<w>;
      }),
      .packBlocksLargest = everyWidth<PackBlocksLargest>([]<int w>() -> PackBlocksLargest {
        if constexpr (w <= kMaxSmallField) return &packSmallLargest<w>;
        else return &packWideLargest<w>;
      }),
      .unpackWideGroups = &unpackWideGroupsAvx512,
      .packWhole = &packWholeAvx512,
      .unpackWhole = &unpackWholeAvx512,
      .packWholeLargest = &packWholeLargestAvx512,
      .frameLoops = &frame::detail::avx512FrameLoops,
      .blockLoops = &frame::detail::avx512BlockLoops,
  };
}

}  // namespace

KernelRow avx512Row() {
  static const Kernels row = makeRow();
  return {&row, cpuRunsAvx512()};
}

}  // namespace vaskor::detail
