// Bit-packed format: every value takes the same number of bits. Widths are
// in bits; no input needs a field wider than 65 bits.
#pragma once

#include "vaskor/codec.hpp"

namespace vaskor::bpe {

inline constexpr char kName[] = "bpe";
inline constexpr char kUnit[] = "bits";

#include "vaskor/codec_functions.inc"

}  // namespace vaskor::bpe
