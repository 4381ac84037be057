// The frames' portable loops, and which copy of them goes with the kernel
// row in use.
#include "detail/frame_loops.hpp"

#include <cstring>

#include "detail/kernels.hpp"

VASKOR_FRAME_LOOPS(scalar)

namespace vaskor::frame::detail {

const FrameLoops& frameLoops() {
#if defined(__x86_64__)
  const char* row = vaskor::detail::kernels().name;
  if (std::strcmp(row, "avx512") == 0) return avx512FrameLoops();
  if (std::strcmp(row, "avx2") == 0) return avx2FrameLoops();
#endif
  return scalarFrameLoops();
}

}  // namespace vaskor::frame::detail
