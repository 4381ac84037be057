// Groups wider than a block field (an explicit decode width above 65 bits):
// only the last 64 bits of each count, read with two loads, no per-bit work.
#include "vaskor/byte_order.hpp"
#include "vaskor/kernels/scalar.hpp"

namespace vaskor::detail {

void unpackWideGroupsScalar(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth, int64_t* out,
                            size_t count) {
  uint64_t from = firstBit + bitWidth - 64;  // the last 64 bits of the group
  for (size_t k = 0; k < count; ++k, from += bitWidth) {
    const uint64_t byte = from >> 3;
    const unsigned shift = from & 7;
    uint64_t v = loadBE64(data + byte);
    // A group that does not end on a byte ends inside the ninth, which is
    // then in bounds; the last group of the data may end on its last byte.
    if (shift != 0) v = (v << shift) | (data[byte + 8] >> (8 - shift));
    out[k] = static_cast<int64_t>(v);
  }
}

}  // namespace vaskor::detail
