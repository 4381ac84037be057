// rle: each block as runs of equal values, the segment's blocks alike in
// their number of runs; the run values and the run lengths each packed at a
// width from a reference.
#include <algorithm>

#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

size_t describe(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t*) {
  needDescription(s, p, 7 + r.size);
  s.width = widthIn(s, p[1], r.k, "value width");
  s.width2 = widthIn(s, p[2], kMaxLengthWidth, "length width");
  s.entries = loadLE(p + 3, 2);
  if (s.entries == 0 || s.entries > kMaxEntries)
    corruptSegment(s, std::to_string(s.entries) + " runs a block (1 to " + std::to_string(kMaxEntries) + ")");
  s.reference = loadLE(p + 5, r.size);
  s.reference2 = loadLE(p + 5 + r.size, 2);
  return 7 + r.size;
}

uint64_t blockBytes(const SegmentView& s, uint64_t, const Ring&) {
  return bytesFor(s.entries, s.width) + bytesFor(s.entries, s.width2);
}
uint64_t noTail(const SegmentView&, const Ring&) { return 0; }

void decodeBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  const uint8_t* in = s.blockAt(j);
  int64_t* values = o.stage;
  int64_t* lengths = o.stage + kMaxEntries;
  readFields(in, s.entries, s.width, values, s);
  readFields(in + bytesFor(s.entries, s.width), s.entries, s.width2, lengths, s);
  uint64_t covered = 0;
  for (uint64_t k = 0; k < s.entries; ++k) {
    const uint64_t length = s.reference2 + static_cast<uint64_t>(lengths[k]);
    if (length == 0) corruptSegment(s, "run " + std::to_string(k) + " of block " + std::to_string(s.firstBlock + j) + " is empty");
    covered += length;
    if (covered > n) break;
  }
  if (covered != n)
    corruptSegment(s, "runs of block " + std::to_string(s.firstBlock + j) + " do not cover its " + std::to_string(n) +
                          " values");
  o.loops.expandRuns(values, lengths, s.entries, s.reference, s.reference2, n, o.out);
}

bool propose(EncoderBlock& b, Params& p, uint64_t& size, uint64_t) {
  // Tried when at least half the sampled values equal the value before
  // them, and then only with at most n/2 runs.
  size_t repeated = 0;
  for (size_t j = 0; j < b.samples && b.n >= 2; ++j) {
    const size_t i = std::max<size_t>(b.sample[j], 1);
    repeated += b.u[i] == b.u[i - 1];
  }
  if (2 * repeated < b.samples) return false;
  b.findRuns();
  const size_t k = b.runCount;
  if (2 * k > b.n) return false;
  const auto [vlo, vhi] = std::minmax_element(b.runValue, b.runValue + k);
  const auto [llo, lhi] = std::minmax_element(b.runLength, b.runLength + k);
  p = Params{Scheme::runLength, bitlen(*vhi - *vlo), bitlen(*lhi - *llo)};
  p.ref = alignWindow(*vlo, *vhi, p.w, b.ring.k);
  p.ref2 = *llo;
  p.entries = k;
  size = 7 + b.ring.size + bytesFor(k, p.w) + bytesFor(k, p.w2);
  return true;
}

bool fits(const OpenSegment& seg, EncoderBlock& b, uint64_t& cost) {
  const Params& p = seg.p;
  cost = bytesFor(p.entries, p.w) + bytesFor(p.entries, p.w2);
  b.findRuns();
  if (b.runCount != p.entries) return false;
  for (size_t k = 0; k < b.runCount; ++k)
    if (b.runValue[k] - p.ref > spanOf(p.w) || b.runLength[k] - p.ref2 > spanOf(p.w2)) return false;
  return true;
}

size_t writeDescription(const Params& p, const Ring& r, uint8_t* out) {
  out[0] = static_cast<uint8_t>(Scheme::runLength);
  out[1] = static_cast<uint8_t>(p.w);
  out[2] = static_cast<uint8_t>(p.w2);
  storeLE(out + 3, p.entries, 2);
  storeLE(out + 5, r.valueOfPlace(p.ref), r.size);
  storeLE(out + 5 + r.size, p.ref2, 2);
  return 7 + r.size;
}

size_t writeBlock(OpenSegment& seg, const EncoderBlock& b, int64_t* stage, uint8_t* out) {
  const Params& p = seg.p;
  for (size_t k = 0; k < b.runCount; ++k) stage[k] = static_cast<int64_t>(b.runValue[k] - p.ref);
  size_t bytes = writeFields(stage, b.runCount, p.w, out);
  for (size_t k = 0; k < b.runCount; ++k) stage[k] = static_cast<int64_t>(b.runLength[k] - p.ref2);
  return bytes + writeFields(stage, b.runCount, p.w2, out + bytes);
}

size_t close(OpenSegment&, const Ring&, uint8_t*) { return 0; }

}  // namespace

const SchemeCodec runLengthScheme{Scheme::runLength, &describe, &blockBytes, &noTail, nullptr, &decodeBlock,
                                  &propose, &fits, &openWithParams, &writeDescription, &writeBlock, &close};

}  // namespace vaskor::frame::detail
