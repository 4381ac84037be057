// The frames' loops for the AVX-512 row (its 64-bit min and max).
#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"
#include "kernels/targets.hpp"

VASKOR_FRAME_LOOPS(avx512, VASKOR_AVX512_TARGET)
VASKOR_BLOCK_LOOPS(avx512, VASKOR_AVX512_TARGET)
