// AVX2 block kernels of the bit-packed codec (x86-64 only), every width.
#pragma once

#include <array>

#include "vaskor/kernels.hpp"

namespace vaskor::detail {

// Null where the scalar block packs faster.
const std::array<PackBlocks, kMaxBlockWidth + 1>& avx2PackBlocks();
const std::array<UnpackBlocks, kMaxBlockWidth + 1>& avx2UnpackBlocks();

}  // namespace vaskor::detail
