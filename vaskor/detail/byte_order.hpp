// Unaligned big-endian access to packed data (private to the codecs).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace vaskor::detail {

static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big,
              "the codecs need a little- or big-endian target");

// A word as it lies in memory, read as a big-endian number, and back: one
// byte reversal on little-endian targets, nothing on big-endian ones.
[[gnu::always_inline]] inline uint64_t swapBE(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
  return v;
}

[[gnu::always_inline]] inline uint64_t loadBE64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return swapBE(v);
}

[[gnu::always_inline]] inline void storeBE64(uint8_t* p, uint64_t v) {
  v = swapBE(v);
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
