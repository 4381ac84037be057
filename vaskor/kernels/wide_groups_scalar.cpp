// Groups wider than a block field (an explicit decode width above 65 bits):
// only the last 64 bits of each count, read with two loads, no per-bit work.
#include "detail/byte_order.hpp"
#include "kernels/scalar.hpp"

namespace vaskor::detail {

void unpackWideGroupsScalar(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth, int64_t* out,
                            size_t count) {
  if (count == 0) return;
  uint64_t from = firstBit + bitWidth - 64;  // the last 64 bits of the group
  if (from % 8 == 0 && bitWidth % 8 == 0) {
    // Whole bytes: each group's last 8.
    for (size_t k = 0; k < count; ++k) out[k] = static_cast<int64_t>(loadBE64(data + (from + k * bitWidth) / 8));
    return;
  }
  // The byte after a group's last 64 bits lies inside the next group, so
  // every group but the last reads it without a test: the shift changes
  // from group to group, and a branch on it is mispredicted half the time.
  for (size_t k = 0; k + 1 < count; ++k, from += bitWidth) {
    const uint64_t byte = from >> 3;
    const unsigned shift = from & 7;
    // A shift of 0 takes nothing from the ninth byte (a byte shifted right by 8).
    const uint64_t ninth = static_cast<uint64_t>(data[byte + 8]) >> (8 - shift);
    out[k] = static_cast<int64_t>((loadBE64(data + byte) << shift) | ninth);
  }
  // The last group may end on the data's last byte.
  const uint64_t byte = from >> 3;
  const unsigned shift = from & 7;
  uint64_t v = loadBE64(data + byte);
  if (shift != 0) v = (v << shift) | (data[byte + 8] >> (8 - shift));
  out[count - 1] = static_cast<int64_t>(v);
}

}  // namespace vaskor::detail
