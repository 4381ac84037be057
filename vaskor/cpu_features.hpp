// Run-time choice of instruction set (private). The library is built for
// plain x86-64 and takes the wider paths only where the processor has them.
#pragma once

namespace vaskor::detail {

// Both also check that the operating system saves the wider registers.
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

}  // namespace vaskor::detail
