#include "frame/patching.hpp"

#include <algorithm>

#include "detail/bit_stream.hpp"
#include "frame/header_fields.hpp"
#include "frame/schemes/description.hpp"

namespace vaskor::frame::detail {

namespace {

uint64_t positionOf(const SegmentView& s, uint64_t e) { return loadLE(s.exceptions + 2 * e, 2); }

uint64_t overflowOf(const SegmentView& s, uint64_t e) {
  if (s.overflows != nullptr) return s.overflows[e];
  if (s.overflowWidth == 0) return 0;
  return vaskor::detail::readField(s.exceptions + 2 * s.entries,
                                   vaskor::detail::BitStream{s.entries, s.overflowWidth}, e);
}

}  // namespace

size_t describePatched(SegmentView& s, const uint8_t* p, const Ring& r) {
  const size_t window = describeWindow(s, p, r, 3);
  const uint8_t* countAt = p + window;
  s.entries = loadLE(countAt, 2);
  s.overflowWidth = countAt[2];
  if (s.entries > 0 && (s.width >= r.k || s.overflowWidth > r.k - s.width))
    corruptSegment(s, "overflow width " + std::to_string(s.overflowWidth) + " past width " + std::to_string(s.width) +
                          " exceeds " + std::to_string(r.k) + " bits");
  return window + 3;
}

void checkExceptions(const SegmentView& s, bool differences);

void readExceptions(SegmentView& s, bool differences, uint64_t* room) {
  if (!s.checked) checkExceptions(s, differences);
  if (room == nullptr || s.entries == 0 || s.entries > kMaxEntries) return;
  // Padding checked above (or in the pass that checked the view).
  if (s.overflowWidth == 0) std::fill(room, room + s.entries, 0);
  else vaskor::detail::unpackStream(s.exceptions + 2 * s.entries, vaskor::detail::BitStream{s.entries, s.overflowWidth}, 0,
                                    s.entries, reinterpret_cast<int64_t*>(room));
  s.overflows = room;
}

void checkExceptions(const SegmentView& s, bool differences) {
  for (uint64_t e = 0; e < s.entries; ++e) {
    const uint64_t p = positionOf(s, e);
    if (p >= s.valueCount)
      corruptSegment(s, "exception position " + std::to_string(p) + " is past its " + std::to_string(s.valueCount) +
                            " values");
    if (e > 0 && p <= positionOf(s, e - 1)) corruptSegment(s, "exception positions do not rise");
    if (differences && p % kBlockValues == 0)
      corruptSegment(s, "exception position " + std::to_string(p) + " is a block's first value");
  }
  if (s.overflowWidth > 0 &&
      !vaskor::detail::paddingClear(s.exceptions + 2 * s.entries, vaskor::detail::BitStream{s.entries, s.overflowWidth}))
    corruptSegment(s, "overflow padding bits are not zero");
}

void applyExceptions(const SegmentView& s, uint64_t j, uint64_t n, int64_t* stage) {
  // The positions rise inside the segment, checked with the segment.
  const uint64_t lo = j * kBlockValues, hi = lo + n;
  // The first at or past the block, by halving.
  uint64_t a = 0, b = s.entries;
  while (a < b) {
    const uint64_t mid = a + (b - a) / 2;
    if (positionOf(s, mid) < lo) a = mid + 1;
    else b = mid;
  }
  for (uint64_t e = a; e < s.entries; ++e) {
    const uint64_t p = positionOf(s, e);
    if (p >= hi) break;
    stage[p - lo] = static_cast<int64_t>(static_cast<uint64_t>(stage[p - lo]) + (overflowOf(s, e) << s.width));
  }
}

uint64_t exceptionsIn(const SegmentView& s, uint64_t j, uint64_t n) {
  uint64_t count = 0;
  for (uint64_t e = 0; e < s.entries; ++e) {
    const uint64_t p = positionOf(s, e);
    count += p >= j * kBlockValues && p < j * kBlockValues + n;
  }
  return count;
}

bool proposePatched(EncoderBlock& b, const uint64_t* sampled, const uint64_t* (*places)(EncoderBlock&), size_t from,
                    uint64_t lo, uint64_t hi, int wAll, Scheme scheme, uint64_t fixed, Params& p, uint64_t& size) {
  if (b.samples < 2) return false;
  // A side is tried only when leaving out its largest sampled distance
  // narrows the window: fewer than two lie 2^(wAll-1) or more from its end.
  const uint64_t far = uint64_t{1} << (wAll - 1);
  const bool tried[2] = {b.loops.countFar(sampled, b.samples, lo, false, far) < 2,
                         b.loops.countFar(sampled, b.samples, hi, true, far) < 2};
  if (!tried[0] && !tried[1]) return false;
  // Windows that leave out the 2nd, 4th and 8th largest sampled distance
  // from each end, from the sorted sample.
  uint64_t sorted[kSampleSize];
  std::copy(sampled, sampled + b.samples, sorted);
  std::sort(sorted, sorted + b.samples);
  const uint64_t* xs = places(b);
  const uint64_t n = b.n - from;
  bool found = false;
  for (const bool below : {false, true}) {
    if (!tried[below]) continue;
    int last = -1;
    for (const size_t k : {1, 3, 7}) {
      if (k >= b.samples) break;
      const int bw = bitlen(below ? hi - sorted[k] : sorted[b.samples - 1 - k] - lo);
      if (bw >= wAll || bw == last) continue;
      last = bw;
      uint64_t inLo = 0, inHi = 0;
      b.loops.windowRange(xs + from, n, below ? hi : lo, below, spanOf(bw), &inLo, &inHi);
      Params c;
      c.scheme = scheme;
      c.w = bitlen(inHi - inLo);
      c.ref = alignWindow(inLo, inHi, c.w, b.ring.k);
      uint64_t most = 0;
      const uint64_t e = b.loops.exceptions(xs + from, n, c.ref, c.w, b.ring.mask, &most);
      c.w2 = bitlen(most);
      const uint64_t sz = fixed + bytesFor(b.n, c.w) + exceptionBytes(e, c.w2);
      if (!found || sz < size) {
        p = c;
        size = sz;
        found = true;
      }
    }
  }
  return found;
}

bool fitsPatched(const OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, uint64_t extra,
                 uint64_t& cost) {
  uint64_t e = 0;
  if (xs != nullptr && b.n > from) {
    const uint64_t n = b.n - from;
    uint64_t most = 0;
    e = b.loops.exceptions(xs + from, n, seg.p.ref, seg.p.w, b.ring.mask, &most);
    if (bitlen(most) > seg.p.w2) return false;
  }
  if (seg.exceptions + e > kSegmentExceptions) return false;
  cost = extra + bytesFor(b.n, seg.p.w) + 2 * e + bytesFor(seg.exceptions + e, seg.p.w2) -
         bytesFor(seg.exceptions, seg.p.w2);
  return true;
}

size_t writePatchedFields(OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, int64_t* stage,
                          uint8_t* out) {
  const uint64_t ref = seg.p.ref, span = spanOf(seg.p.w);
  for (size_t i = 0; i < from; ++i) stage[i] = 0;
  // Counted as the fields are made, so that the walk for them ends at the last one.
  uint64_t left = b.n > from ? b.loops.lowOffsets(xs + from, b.n - from, ref, seg.p.w, stage + from) : 0;
  // Without branches: each place is written to the next free entry, which
  // is taken only by an exception (an exception is still to come, so the
  // entry is inside the segment's room).
  for (size_t i = from; left > 0; ++i) {
    const uint64_t d = xs[i] - ref;
    const uint64_t taken = d > span;
    seg.exceptionAt[seg.exceptions] = static_cast<uint16_t>(seg.values + i);
    seg.exceptionHigh[seg.exceptions] = (d & b.ring.mask) >> seg.p.w;
    seg.exceptions += taken;
    left -= taken;
  }
  return writeFields(stage, b.n, seg.p.w, out);
}

size_t writePatchedDescription(size_t window, const Params& p, uint8_t* out) {
  storeLE(out + window, 0, 2);
  out[window + 2] = static_cast<uint8_t>(p.w2);
  return window + 3;
}

size_t closePatched(OpenSegment& seg, size_t countAt, uint8_t* out) {
  storeLE(seg.begin + countAt, seg.exceptions, 2);
  for (size_t e = 0; e < seg.exceptions; ++e) storeLE(out + 2 * e, seg.exceptionAt[e], 2);
  int64_t overflows[kSegmentExceptions];
  for (size_t e = 0; e < seg.exceptions; ++e) overflows[e] = static_cast<int64_t>(seg.exceptionHigh[e]);
  return 2 * seg.exceptions + writeFields(overflows, seg.exceptions, seg.p.w2, out + 2 * seg.exceptions);
}

}  // namespace vaskor::frame::detail
