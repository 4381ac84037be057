// delta: a width and the least difference; each block its first value, then
// its differences minus that, packed at the width (field 0 is 0), so that
// every block decodes alone.
#include "frame/schemes/delta_block.hpp"
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) { return describeWindow(s, p, r); }

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring& r) { return r.size + bytesFor(n, s.width); }
uint64_t noTail(const SegmentView&, const Ring&) { return 0; }

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  if (b.n < 2) return false;
  p = Params{Scheme::delta, b.wd};
  p.ref = alignWindow(b.s.omin, b.s.omax, b.wd, b.ring.k);
  size = 2 + 2 * b.ring.size + bytesFor(b.n, b.wd);
  return true;
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  cost = b.ring.size + bytesFor(b.n, seg.p.w);
  return b.n < 2 || (b.s.omin >= seg.p.ref && b.s.omax - seg.p.ref <= spanOf(seg.p.w));
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  return writeWindow(Scheme::delta, p.w, r.flip(p.ref), r, out);
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  storeLE(out, b.ring.valueOfPlace(b.u[0]), b.ring.size);
  stage[0] = 0;
  b.loops.offsets(b.o + 1, b.n - 1, seg.p.ref, stage + 1);
  return b.ring.size + writeFields(stage, b.n, seg.p.w, out + b.ring.size);
}

size_t close(OpenSegment&, const Ring&, uint8_t*) { return 0; }

}  // namespace

const SchemeCodec deltaScheme{Scheme::delta, &describe, &blockBytes, &noTail, nullptr, &decodeDeltaBlock<false>,
                              &propose, &fits, &openWithParams, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
