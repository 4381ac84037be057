// The instruction sets the x86-64 rows are compiled for, each written once:
// the attribute its kernels carry and the run-time test that this
// processor (and its operating system) can run them, side by side, so the
// two can never disagree.
#pragma once

#include <cpuid.h>

// AVX2 (row_avx2.cpp and its kernels).
#define VASKOR_AVX2_TARGET gnu::target("avx2")
#define VASKOR_AVX2_INLINE VASKOR_AVX2_TARGET, gnu::always_inline

// AVX-512 (row_avx512.cpp and its kernels): 64-bit max, byte permutes, bit
// gather/scatter and byte-swapping stores.
#define VASKOR_AVX512_FEATURES(F) F("avx2") F("avx512f") F("avx512vbmi") F("bmi2")
#define VASKOR_FEATURE_NAME(f) f ","
#define VASKOR_AVX512_TARGET gnu::target(VASKOR_AVX512_FEATURES(VASKOR_FEATURE_NAME) "movbe")
#define VASKOR_AVX512_INLINE VASKOR_AVX512_TARGET, gnu::always_inline

namespace vaskor::detail {

// The compiler's feature test also checks that the operating system saves
// the wider registers. __builtin_cpu_init is needed when asked before
// constructors ran.
inline bool cpuRunsAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}

// Not every compiler's feature test knows MOVBE, so it is asked directly.
inline bool cpuRunsAvx512() {
  __builtin_cpu_init();
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  const bool movbe = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_MOVBE) != 0;
#define VASKOR_FEATURE_TEST(f) &&__builtin_cpu_supports(f) != 0
  return movbe VASKOR_AVX512_FEATURES(VASKOR_FEATURE_TEST);
#undef VASKOR_FEATURE_TEST
}

}  // namespace vaskor::detail
