// The AVX-512 row (built on x86-64): the largest-value scan, every bit width
// and whole bytes in 512-bit steps.
#include <cpuid.h>

#include <utility>

#include "vaskor/kernels.hpp"
#include "vaskor/kernels/avx2.hpp"
#include "vaskor/kernels/avx512.hpp"

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
  Kernels row = avx2Kernels();  // every entry is replaced below
  row.name = "avx512";
  row.maxFromZero = &maxFromZeroAvx512;
  row.unpackWideGroups = &unpackWideGroupsAvx512;
  row.packWhole = &packWholeAvx512;
  row.packWholeLargest = &packWholeLargestAvx512;
  row.unpackWhole = &unpackWholeAvx512;
  // Narrow fields by bit gather and scatter, the wider ones by byte permutes.
  static_assert(kMinWideField <= kMaxSmallField + 1 && kMaxWideField == kMaxBlockWidth);
  [&]<int... I>(std::integer_sequence<int, I...>) {
    ((row.packBlocks[kMaxSmallField + 1 + I] = &packWide<kMaxSmallField + 1 + I>), ...);
    ((row.unpackBlocks[kMaxSmallField + 1 + I] = &unpackWide<kMaxSmallField + 1 + I>), ...);
    ((row.packBlocksLargest[kMaxSmallField + 1 + I] = &packWideLargest<kMaxSmallField + 1 + I>), ...);
  }(std::make_integer_sequence<int, kMaxBlockWidth - kMaxSmallField>{});
  [&]<int... I>(std::integer_sequence<int, I...>) {
    ((row.packBlocks[I + 1] = &packSmall<I + 1>), ...);
    ((row.unpackBlocks[I + 1] = &unpackSmall<I + 1>), ...);
    ((row.packBlocksLargest[I + 1] = &packSmallLargest<I + 1>), ...);
  }(std::make_integer_sequence<int, kMaxSmallField>{});
  return row;
}

// The features of VASKOR_AVX512_TARGET. (Not every compiler's feature test
// knows MOVBE, so it is asked directly.)
bool supported() {
  __builtin_cpu_init();
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  const bool movbe = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_MOVBE) != 0;
  return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("avx512f") != 0 &&
         __builtin_cpu_supports("avx512vbmi") != 0 && __builtin_cpu_supports("bmi2") != 0 && movbe;
}

}  // namespace

KernelRow avx512Row() {
  static const Kernels row = makeRow();
  return {&row, supported()};
}

}  // namespace vaskor::detail
