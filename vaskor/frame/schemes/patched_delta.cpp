// patched_delta: delta at a narrow width, and the few differences that do
// not fit (gaps of a long tail, jumps) stored apart after the segment's
// blocks, as the patched scheme stores values.
#include <algorithm>

#include "frame/patching.hpp"
#include "frame/schemes/delta_block.hpp"
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) { return describePatched(s, p, r); }

uint64_t blockBytes(const SegmentView& s, uint64_t n, const Ring& r) { return r.size + bytesFor(n, s.width); }
uint64_t tailBytes(const SegmentView& s, const Ring&) { return exceptionBytes(s.entries, s.overflowWidth); }
void readTail(SegmentView& s, uint64_t* room) { readExceptions(s, true, room); }

const uint64_t* differencePlaces(EncoderBlock& b) { return b.differences(); }

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  if (b.n < 2 || b.wd < 1) return false;
  // The sampled differences from the values, the rest only if asked.
  uint64_t sampled[kSampleSize];
  for (size_t j = 0; j < b.samples; ++j) {
    const size_t i = std::max<size_t>(b.sample[j], 1);
    sampled[j] = ((b.u[i] - b.u[i - 1]) & b.ring.mask) ^ b.ring.sign;
  }
  return proposePatched(b, sampled, &differencePlaces, 1, b.s.omin, b.s.omax, b.wd, Scheme::patchedDelta,
                        5 + 2 * b.ring.size, p, size);
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  // The differences are made only when their range leaves the window.
  const bool inside = b.n < 2 || (b.s.omin >= seg.p.ref && b.s.omax - seg.p.ref <= spanOf(seg.p.w));
  return fitsPatched(seg, b, inside ? nullptr : b.differences(), 1, b.ring.size, cost);
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  return writePatchedDescription(writeWindow(Scheme::patchedDelta, p.w, r.flip(p.ref), r, out), p, out);
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  storeLE(out, b.ring.valueOfPlace(b.u[0]), b.ring.size);
  return b.ring.size + writePatchedFields(seg, b, b.o, 1, stage, out + b.ring.size);
}

size_t close(OpenSegment& seg, const Ring& r, uint8_t* out) { return closePatched(seg, 2 + r.size, out); }

}  // namespace

const SchemeCodec patchedDeltaScheme{Scheme::patchedDelta, &describe, &blockBytes, &tailBytes, &readTail,
                                     &decodeDeltaBlock<true>, &propose, &fits, &openWithParams, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
