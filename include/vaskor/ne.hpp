// Whole-byte format: every value takes the same number of bytes, big-endian.
// Widths are in bytes; no input needs a field wider than 8 bytes.
#pragma once

#include "vaskor/codec.hpp"

namespace vaskor::ne {

inline constexpr char kName[] = "ne";
inline constexpr char kUnit[] = "bytes";

#include "vaskor/codec_functions.inc"

}  // namespace vaskor::ne
