// The frame header's bytes (private to the frames): written by the encoder,
// read and checked in vaskor/frame_header.cpp.
#pragma once

#include <cstdint>

#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

// The 40 header bytes of `h` at `out`.
void writeHeader(const Header& h, uint8_t* out);

// Raises ValueError for an element type, layout or transform outside the
// enums (a caller's cast), so the encoder never writes a frame it would
// refuse to read.
void checkChoice(ElementType type, Options options);

}  // namespace vaskor::frame::detail
