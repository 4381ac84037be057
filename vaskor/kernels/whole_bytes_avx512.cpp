// Whole bytes with the AVX-512 byte permutes: a value of byteWidth bytes is
// a field of 8*byteWidth bits, eight of them a group (the scalar kernels
// take the last few values and a short last group).
#include "kernels/avx512.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

void packWholeAvx512(int byteWidth, const int64_t* in, uint8_t* out, size_t count) {
  const size_t groups = count / 8;
  const size_t bytes = groups * 8 * static_cast<size_t>(byteWidth);
  packWideFields(8 * byteWidth, in, out, groups);
  packWholeScalar(byteWidth, in + 8 * groups, out + bytes, count - 8 * groups);
}

int64_t packWholeLargestAvx512(int byteWidth, const int64_t* in, uint8_t* out, size_t count) {
  const size_t groups = count / 8;
  const size_t bytes = groups * 8 * static_cast<size_t>(byteWidth);
  const int64_t top = packWideFieldsLargest(8 * byteWidth, in, out, groups);
  packWholeScalar(byteWidth, in + 8 * groups, out + bytes, count - 8 * groups);
  const int64_t rest = maxFromZeroScalar(in + 8 * groups, count - 8 * groups);
  return top > rest ? top : rest;
}

void unpackWholeAvx512(int byteWidth, const uint8_t* in, size_t size, int64_t* out) {
  const size_t groups = size / (8 * static_cast<size_t>(byteWidth));
  const size_t bytes = groups * 8 * static_cast<size_t>(byteWidth);
  unpackWideFields(8 * byteWidth, in, out, groups);
  unpackWholeScalar(byteWidth, in + bytes, size - bytes, out + 8 * groups);
}

}  // namespace vaskor::detail
