// Unaligned big-endian access to packed data (private to the codecs).
#pragma once

#include <cstdint>
#include <cstring>

namespace vaskor::detail {

[[gnu::always_inline]] inline uint64_t loadBE64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

[[gnu::always_inline]] inline void storeBE64(uint8_t* p, uint64_t v) {
  v = __builtin_bswap64(v);
  std::memcpy(p, &v, 8);
}

// Big-endian reading of the last min(n, 8) of the n bytes at p, for short
// or irregular groups; touches only those bytes.
inline uint64_t loadBETail(const uint8_t* p, uint64_t n) {
  const uint64_t skip = n > 8 ? n - 8 : 0;
  uint64_t v = 0;
  for (uint64_t k = skip; k < n; ++k) v = (v << 8) | p[k];
  return v;
}

}  // namespace vaskor::detail
