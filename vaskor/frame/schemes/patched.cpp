// patched: frame of reference at a narrow width, and the few values that do
// not fit (outliers, sentinels, a missing-value marker) stored apart after
// the segment's blocks. The description: width, reference, exceptions.
#include "frame/patching.hpp"
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) {
  needDescription(s, p, 4 + r.size);
  s.width = widthIn(s, p[1], r.k, "width");
  s.reference = loadLE(p + 2, r.size);
  s.entries = loadLE(p + 2 + r.size, 2);
  return 4 + r.size;
}

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring&) { return bytesFor(n, s.width); }
uint64_t tailBytes(const SegmentView& s, const Ring& r) { return s.entries * (2 + r.size); }
void checkTail(const SegmentView& s) { checkExceptions(s, false); }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  readFields(s.blockAt(j), n, s.width, o.stage, s);
  applyExceptions(s, j, n, o.ring, false, o.stage);
  o.loops.forDrain(o.stage, s.reference, n, o.out);
}

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  return b.n >= 2 && b.w >= 1 &&
         proposePatched(b, b.u, 0, b.s.umin, b.s.umax, b.w, Scheme::patched, 4 + b.ring.size, p, size);
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) { return fitsPatched(seg, b, b.u, 0, 0, cost); }

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  out[0] = static_cast<uint8_t>(Scheme::patched);
  out[1] = static_cast<uint8_t>(p.w);
  storeLE(out + 2, r.valueOfPlace(p.ref), r.size);
  storeLE(out + 2 + r.size, 0, 2);
  return 4 + r.size;
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  return writePatchedFields(seg, b, b.u, 0, stage, out);
}

size_t close(OpenSegment& seg, const Ring& r, uint8_t* out) { return closePatched(seg, r, 2 + r.size, out); }

}  // namespace

const SchemeCodec patchedScheme{Scheme::patched, &describe, &blockBytes, &tailBytes, &checkTail, &decodeBlock,
                                &propose, &fits, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
