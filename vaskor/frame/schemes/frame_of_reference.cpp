// for: a reference and a width; each block its values minus the reference,
// packed at the width.
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) { return describeWindow(s, p, r); }

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring&) { return bytesFor(n, s.width); }
uint64_t noTail(const SegmentView&, const Ring&) { return 0; }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  if (uint64_t* items = o.direct()) {
    readFields(s.blockAt(j), n, s.width, reinterpret_cast<int64_t*>(items), s);
    o.block.addReference(items, n, s.reference);
    return;
  }
  readFields(s.blockAt(j), n, s.width, o.stage, s);
  o.loops.forDrain(o.stage, s.reference, n, o.out);
}

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  p = Params{Scheme::frameOfReference, b.w};
  p.ref = alignWindow(b.s.umin, b.s.umax, b.w, b.ring.k);
  size = 2 + b.ring.size + bytesFor(b.n, b.w);
  return true;
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  cost = bytesFor(b.n, seg.p.w);
  return b.s.umin >= seg.p.ref && b.s.umax - seg.p.ref <= spanOf(seg.p.w);
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  return writeWindow(Scheme::frameOfReference, p.w, r.valueOfPlace(p.ref), r, out);
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  b.loops.offsets(b.u, b.n, seg.p.ref, stage);
  return writeFields(stage, b.n, seg.p.w, out);
}

size_t close(OpenSegment&, const Ring&, uint8_t*) { return 0; }

}  // namespace

const SchemeCodec frameOfReferenceScheme{Scheme::frameOfReference, &describe, &blockBytes, &noTail, nullptr,
                                         &decodeBlock, &propose, &fits, &openWithParams, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
