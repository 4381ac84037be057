// The AVX-512 row (x86-64 only; needs AVX-512 F and VBMI, BMI2 and MOVBE):
// the AVX2 row with a wide largest-value scan and one-step narrow fields.
#include <utility>

#include "vaskor/bit_blocks.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/max_value.hpp"
#include "vaskor/small_fields.hpp"

namespace vaskor::detail {

namespace {

template <int W>
void packSmall(const int64_t* in, uint8_t* out, size_t blocks) {
  packSmallFields(W, in, out, blocks);
}
template <int W>
void unpackSmall(const uint8_t* in, int64_t* out, size_t blocks) {
  unpackSmallFields(W, in, out, blocks);
}
template <int W>
int64_t packSmallLargest(const int64_t* in, uint8_t* out, size_t blocks) {
  return packSmallFieldsLargest(W, in, out, blocks);
}
// Wider fields: the chunk's largest value while it is in cache, then the pack.
template <int W>
int64_t packLargest(const int64_t* in, uint8_t* out, size_t blocks) {
  const int64_t top = maxFromZeroAvx512(in, blocks * kBlockFields);
  avx2Kernels().packBlocks[W](in, out, blocks);
  return top;
}

Kernels makeRow() {
  Kernels row = avx2Kernels();
  row.name = "avx512";
  row.maxFromZero = &maxFromZeroAvx512;
  [&]<int... I>(std::integer_sequence<int, I...>) {
    ((row.packBlocksLargest[I + 1] = &packLargest<I + 1>), ...);
  }(std::make_integer_sequence<int, kMaxBlockWidth>{});
  [&]<int... I>(std::integer_sequence<int, I...>) {
    ((row.packBlocks[I + 1] = &packSmall<I + 1>), ...);
    ((row.unpackBlocks[I + 1] = &unpackSmall<I + 1>), ...);
    ((row.packBlocksLargest[I + 1] = &packSmallLargest<I + 1>), ...);
  }(std::make_integer_sequence<int, kMaxSmallField>{});
  return row;
}

}  // namespace

const Kernels& avx512Kernels() {
  static const Kernels row = makeRow();
  return row;
}

}  // namespace vaskor::detail
