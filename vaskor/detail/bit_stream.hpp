// Byte-at-a-time reading of a single group (private to the bit-packed
// codec), for heads too short to be worth a block kernel.
#pragma once

#include <cstdint>

namespace vaskor::detail {

// The two's-complement reading of the last min(len, 64) bits of the group
// of `len` bits at bit `start`; reads only the bytes the group covers.
inline uint64_t readGroup(const uint8_t* p, uint64_t start, uint64_t len) {
  const uint64_t n = len < 64 ? len : 64;
  const uint64_t from = start + len - n;
  const uint64_t first = from >> 3;
  const uint64_t last = (from + n - 1) >> 3;
  unsigned __int128 acc = 0;
  for (uint64_t k = first; k <= last; ++k) acc = (acc << 8) | p[k];
  const uint64_t v = static_cast<uint64_t>(acc >> ((last + 1) * 8 - (from + n)));
  return n == 64 ? v : v & ((uint64_t{1} << n) - 1);
}

}  // namespace vaskor::detail
