// A slow, literal model of the frame format, written from its description
// and sharing no code with the library: values are the low 8·size bits of
// 64-bit words, arithmetic masks to that size, the header is put together
// byte by byte and the bit-packed payload as a text of binary digits (the
// codec model's helpers). For the core tests and the fuzzers.
#pragma once

#include <cstdint>
#include <vector>

namespace vaskor_ref {

struct FrameChoice {
  int size;        // bytes per item: 1, 2, 4 or 8
  bool isSigned;
  bool wholeByte;  // else bit-packed
  bool delta;      // else frame of reference
};

// The frame of `values` (each taken modulo 2^(8·size)).
std::vector<uint8_t> frameEncode(const FrameChoice& c, const std::vector<uint64_t>& values);

}  // namespace vaskor_ref
