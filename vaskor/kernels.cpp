#include "vaskor/kernels.hpp"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace vaskor::detail {

namespace {

#if defined(__x86_64__)
// The compiler's feature tests also check that the operating system saves
// the wider registers.
bool hasAvx2() {
  __builtin_cpu_init();  // needed when asked before constructors ran
  return __builtin_cpu_supports("avx2") != 0;
}

// What the AVX-512 row uses: 64-bit max, byte permutes, bit gather/scatter
// and byte-swapping stores. (Not every compiler's feature test knows MOVBE,
// so it is asked directly.)
bool hasAvx512Row() {
  __builtin_cpu_init();
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  const bool movbe = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_MOVBE) != 0;
  return hasAvx2() && __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vbmi") != 0 &&
         __builtin_cpu_supports("bmi2") != 0 && movbe;
}
#endif

const std::span<const KernelRow> rows() {
#if defined(__x86_64__)
  static const KernelRow all[] = {
      {&scalarKernels(), true},
      {&avx2Kernels(), hasAvx2()},
      {&avx512Kernels(), hasAvx512Row()},
  };
#else
  static const KernelRow all[] = {{&scalarKernels(), true}};
#endif
  return all;
}

const Kernels*& current() {
  static const Kernels* chosen = [] {
    const Kernels* best = nullptr;
    for (const KernelRow& r : rows())
      if (r.supported) best = r.kernels;
    return best;
  }();
  return chosen;
}

}  // namespace

const Kernels& kernels() { return *current(); }

std::span<const KernelRow> kernelRows() { return rows(); }

void useKernels(const Kernels& row) { current() = &row; }

}  // namespace vaskor::detail
