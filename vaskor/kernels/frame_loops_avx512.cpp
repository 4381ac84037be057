// The frames' loops for the AVX-512 row (its 64-bit min and max).
#include "detail/frame_loops.hpp"
#include "kernels/targets.hpp"

VASKOR_FRAME_LOOPS(avx512, VASKOR_AVX512_TARGET)
