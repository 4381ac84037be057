// The frames' loops for the AVX2 row.
#include "vaskor/frame_loops.hpp"
#include "vaskor/kernels/targets.hpp"

VASKOR_FRAME_LOOPS(avx2, VASKOR_AVX2_TARGET)
