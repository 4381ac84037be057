// The frames' portable loops; the kernel row in use holds the loops it goes
// with, so the processor is tested in one place only.
#include "detail/frame_loops.hpp"

VASKOR_FRAME_LOOPS(scalar)

namespace vaskor::frame::detail {

const FrameLoops& frameLoops() { return vaskor::detail::kernels().frameLoops(); }

}  // namespace vaskor::frame::detail
