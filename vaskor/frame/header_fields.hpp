// Where each field of the 40-byte frame header lies (private), named once
// for the writer and the readers of every layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::frame::detail {

inline constexpr size_t kMagicAt = 0;
inline constexpr uint8_t kMagic[4] = {'V', 'S', 'K', 'F'};
inline constexpr size_t kVersionAt = 4;
inline constexpr size_t kLayoutAt = 5;
inline constexpr size_t kTypeAt = 6;
inline constexpr size_t kTransformAt = 7;
// Version 1: bits or bytes per packed value. Blocked: log2 of the block size.
inline constexpr size_t kWidthAt = 8;
inline constexpr size_t kBlockShiftAt = 8;
// [kReservedAt, kCountAt) are zero in every version so far.
inline constexpr size_t kReservedAt = 9;
inline constexpr size_t kCountAt = 16;
// Version 1: reference and first. Blocked: segments and data bytes.
inline constexpr size_t kReferenceAt = 24;
inline constexpr size_t kFirstAt = 32;
inline constexpr size_t kSegmentsAt = 24;
inline constexpr size_t kDataBytesAt = 32;
inline constexpr size_t kHeaderEnd = 40;

inline uint64_t loadLE(const uint8_t* p, size_t bytes) {
  uint64_t v = 0;
  for (size_t k = bytes; k-- > 0;) v = (v << 8) | p[k];
  return v;
}

inline void storeLE(uint8_t* p, uint64_t v, size_t bytes) {
  for (size_t k = 0; k < bytes; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

}  // namespace vaskor::frame::detail
