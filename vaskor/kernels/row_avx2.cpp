// The AVX2 row (built on x86-64).
#include "vaskor/kernels.hpp"
#include "vaskor/kernels/avx2.hpp"

namespace vaskor::detail {

namespace {

Kernels makeRow() {
  Kernels row{
      .name = "avx2",
      .maxFromZero = &maxFromZeroAvx2,
      .packBlocks = avx2PackBlocks(),
      .unpackBlocks = avx2UnpackBlocks(),
      .packBlocksLargest = avx2PackBlocksLargest(),
      .unpackWideGroups = &unpackWideGroupsAvx2,
      .packWhole = &packWholeAvx2,
      .unpackWhole = &unpackWholeAvx2,
      .packWholeLargest = &packWholeLargestAvx2,
  };
  useNarrowPacking(row.packBlocks, row.packBlocksLargest);
  usePairedPacking(row.packBlocks, row.packBlocksLargest);
  useWindowPacking(row.packBlocks, row.packBlocksLargest);
  return row;
}

}  // namespace

const Kernels& avx2Kernels() {
  static const Kernels row = makeRow();
  return row;
}

// The compiler's feature test also checks that the operating system saves
// the wider registers.
KernelRow avx2Row() {
  __builtin_cpu_init();  // needed when asked before constructors ran
  return {&avx2Kernels(), __builtin_cpu_supports("avx2") != 0};
}

}  // namespace vaskor::detail
