// A slow, literal model of the blocked frame layout and of how its encoder
// chooses (docs/frame-format.md), sharing no code with the library: every
// block's candidates are worked out one value at a time, bit streams are
// written bit by bit. The fast encoder must give the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace vaskor_ref {

struct BlockedChoice {
  int size;       // bytes per item: 1, 2, 4 or 8
  bool isSigned;
  int transform;  // 1 for, 2 delta, 3 auto
};

// The blocked frame of `values` (each taken modulo 2^(8·size)).
std::vector<uint8_t> blockedEncode(const BlockedChoice& c, const std::vector<uint64_t>& values);

// The values of a blocked frame the model wrote (low 8·size bits), read
// plainly, trusting the frame.
std::vector<uint64_t> blockedDecode(const std::vector<uint8_t>& frame);

}  // namespace vaskor_ref
