// The frames' loops for the AVX2 row.
#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"
#include "kernels/targets.hpp"

VASKOR_FRAME_LOOPS(avx2, VASKOR_AVX2_TARGET)
VASKOR_BLOCK_LOOPS(avx2, VASKOR_AVX2_TARGET)
