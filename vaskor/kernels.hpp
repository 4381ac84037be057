// Every inner loop the codecs use, one row per instruction set (private).
// The row is picked once, at first use, from what the processor has; the
// codecs call through it and never test the processor themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vaskor::detail {

inline constexpr int kBlockFields = 64;
// Widths 1..kMaxBlockWidth have a block routine; wider groups go the generic way.
inline constexpr int kMaxBlockWidth = 65;
inline constexpr int kMaxWholeWidth = 8;

// Whole blocks of 64 fields of W bits (8*W bytes each), most significant
// bit first; unpacking gives the last min(W, 64) bits of each field.
using PackBlocks = void (*)(const int64_t* in, uint8_t* out, size_t blocks);
using UnpackBlocks = void (*)(const uint8_t* in, int64_t* out, size_t blocks);
// The same pack, also returning the larger of 0 and the greatest value packed.
using PackBlocksLargest = int64_t (*)(const int64_t* in, uint8_t* out, size_t blocks);

struct Kernels {
  const char* name;
  // The larger of 0 and the greatest of n values.
  int64_t (*maxFromZero)(const int64_t* p, size_t n);
  // Indexed by width 1..kMaxBlockWidth; entry 0 is unused.
  std::array<PackBlocks, kMaxBlockWidth + 1> packBlocks;
  std::array<UnpackBlocks, kMaxBlockWidth + 1> unpackBlocks;
  // Where not null, cheaper than maxFromZero followed by packBlocks.
  std::array<PackBlocksLargest, kMaxBlockWidth + 1> packBlocksLargest;
  // Whole-byte format, nb = 1..kMaxWholeWidth bytes per value: packWhole
  // writes the low 8*nb bits of each of n values, n*nb bytes; unpackWhole
  // reads the ceil(size / nb) groups, a short last group from the bytes it has.
  void (*packWhole)(int nb, const int64_t* in, uint8_t* out, size_t n);
  void (*unpackWhole)(int nb, const uint8_t* in, size_t size, int64_t* out);
};

// The row in use.
const Kernels& kernels();

struct KernelRow {
  const Kernels* kernels;
  bool supported;  // whether this processor can run it
};
// Every row built in, the portable one first and the preferred one last.
std::span<const KernelRow> kernelRows();

// For benchmarks and tests that compare rows through the public codecs; the
// row must be supported, and nothing may run a codec meanwhile.
void useKernels(const Kernels& row);

// The rows (defined beside their kernels; the wide ones only on x86-64).
const Kernels& scalarKernels();
#if defined(__x86_64__)
const Kernels& avx2Kernels();
const Kernels& avx512Kernels();
#endif

}  // namespace vaskor::detail
