// The kernel table: the rows this target builds, in order of preference
// (the list comes from vaskor/CMakeLists.txt), each asked whether this
// processor can run it.
#include "detail/kernels.hpp"

namespace vaskor::detail {

#define VASKOR_KERNEL_ROW(name) KernelRow name##Row();
#include "kernel_rows.inc"
#undef VASKOR_KERNEL_ROW

namespace {

std::span<const KernelRow> rows() {
  static const KernelRow all[] = {
#define VASKOR_KERNEL_ROW(name) name##Row(),
#include "kernel_rows.inc"
#undef VASKOR_KERNEL_ROW
  };
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
