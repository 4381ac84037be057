// patched: frame of reference at a narrow width, and the few values that do
// not fit (outliers, sentinels, a missing-value marker) stored apart after
// the segment's blocks. The description: width, reference, exceptions.
#include "frame/patching.hpp"
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) { return describePatched(s, p, r); }

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring&) { return bytesFor(n, s.width); }
uint64_t tailBytes(const SegmentView& s, const Ring&) { return exceptionBytes(s.entries, s.overflowWidth); }
void readTail(SegmentView& s, uint64_t* room) { readExceptions(s, false, room); }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  if (uint64_t* items = o.direct()) {
    readFields(s.blockAt(j), n, s.width, reinterpret_cast<int64_t*>(items), s);
    applyExceptions(s, j, n, reinterpret_cast<int64_t*>(items));
    o.block.addReference(items, n, s.reference);
    return;
  }
  readFields(s.blockAt(j), n, s.width, o.stage, s);
  applyExceptions(s, j, n, o.stage);
  o.loops.forDrain(o.stage, s.reference, n, o.out);
}

const uint64_t* valuePlaces(EncoderBlock& b) { return b.u; }

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  if (b.n < 2 || b.w < 1) return false;
  uint64_t sampled[kSampleSize];
  for (size_t j = 0; j < b.samples; ++j) sampled[j] = b.u[b.sample[j]];
  return proposePatched(b, sampled, &valuePlaces, 0, b.s.umin, b.s.umax, b.w, Scheme::patched, 5 + b.ring.size, p,
                        size);
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  const bool inside = b.s.umin >= seg.p.ref && b.s.umax - seg.p.ref <= spanOf(seg.p.w);
  return fitsPatched(seg, b, inside ? nullptr : b.u, 0, 0, cost);
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  return writePatchedDescription(writeWindow(Scheme::patched, p.w, r.valueOfPlace(p.ref), r, out), p, out);
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  return writePatchedFields(seg, b, b.u, 0, stage, out);
}

size_t close(OpenSegment& seg, const Ring& r, uint8_t* out) { return closePatched(seg, 2 + r.size, out); }

}  // namespace

const SchemeCodec patchedScheme{Scheme::patched, &describe, &blockBytes, &tailBytes, &readTail, &decodeBlock,
                                &propose, &fits, &openWithParams, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
