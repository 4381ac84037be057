// The frames' and the blocked layout's portable loops; the kernel row in use holds the loops it goes
// with, so the processor is tested in one place only.
#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"

VASKOR_FRAME_LOOPS(scalar)
VASKOR_BLOCK_LOOPS(scalar)

namespace vaskor::frame::detail {

const FrameLoops& frameLoops() { return vaskor::detail::kernels().frameLoops(); }
const BlockLoops& blockLoops() { return vaskor::detail::kernels().blockLoops(); }

}  // namespace vaskor::frame::detail
