// constant: the value alone; its blocks take no bytes.
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) {
  needDescription(s, p, 1 + r.size);
  s.reference = loadLE(p + 1, r.size);
  return 1 + r.size;
}

uint64_t noBytes(const SegmentView&, uint64_t, const Ring&) { return 0; }
uint64_t noTail(const SegmentView&, const Ring&) { return 0; }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t, uint64_t n) {
  o.loops.fillItems(s.reference, n, o.out);
}

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  if (b.s.umin != b.s.umax) return false;
  p = Params{Scheme::constant};
  p.ref = b.s.umin;
  size = 1 + b.ring.size;
  return true;
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  cost = 0;
  return b.s.umin == b.s.umax && b.s.umin == seg.p.ref;
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  out[0] = static_cast<uint8_t>(Scheme::constant);
  storeLE(out + 1, r.valueOfPlace(p.ref), r.size);
  return 1 + r.size;
}

size_t writeBlock(OpenSegment&, const EncoderBlock&, int64_t*, uint8_t*) { return 0; }
size_t close(OpenSegment&, const Ring&, uint8_t*) { return 0; }

}  // namespace

const SchemeCodec constantScheme{Scheme::constant, &describe, &noBytes, &noTail, nullptr, &decodeBlock,
                                 &propose, &fits, &openWithParams, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
