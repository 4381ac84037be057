// The layouts of version 1 (private): one width for the whole frame, the
// payload in the bit-packed or the whole-byte format (packed_layout.cpp).
#pragma once

#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

// The header `values` get: reference and first from one pass over them,
// the width the smallest that holds every packed value.
Header planPacked(ElementType type, const uint8_t* values, uint64_t count, Options options);
// The frame of planned.frameSize() bytes at `out`.
void writePacked(const Header& planned, const uint8_t* values, uint8_t* out);

}  // namespace vaskor::frame::detail
