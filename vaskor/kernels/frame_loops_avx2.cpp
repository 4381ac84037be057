// The frames' loops for the AVX2 row.
#include "detail/frame_loops.hpp"
#include "kernels/targets.hpp"

VASKOR_FRAME_LOOPS(avx2, VASKOR_AVX2_TARGET)
