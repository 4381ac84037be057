// Whole-byte format: every value takes the same number of bytes, big-endian.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vaskor::ne {

// Packs `s`; stores the chosen width in bytes into `lo`.
std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo);

// Unpacks with width `l` bytes; `l` == 0 reads the width from the first byte.
std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l);

}  // namespace vaskor::ne
