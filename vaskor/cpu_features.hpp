// Run-time choice of instruction set (private). The library is built for
// plain x86-64 and takes the wider paths only where the processor has them.
#pragma once

#include <cpuid.h>

namespace vaskor::detail {

// All also check that the operating system saves the wider registers.
inline bool hasAvx2() {
  static const bool yes = [] {
    __builtin_cpu_init();  // harmless if done; needed if called before constructors ran
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return yes;
}

inline bool hasAvx512f() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
  }();
  return yes;
}

// What the narrow bit-field kernels use: byte permutes, bit gather/scatter
// and byte-swapping stores.
inline bool hasAvx512VbmiBmi2() {
  static const bool yes = [] {
    __builtin_cpu_init();
    // (Not every compiler's feature test knows MOVBE, so it is asked directly.)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    const bool movbe = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_MOVBE) != 0;
    return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vbmi") != 0 &&
           __builtin_cpu_supports("bmi2") != 0 && movbe;
  }();
  return yes;
}

}  // namespace vaskor::detail
