#include "frame/patching.hpp"

#include <algorithm>

#include "frame/header_fields.hpp"

namespace vaskor::frame::detail {

namespace {

uint64_t positionOf(const SegmentView& s, uint64_t e) { return loadLE(s.exceptions + 2 * e, 2); }

uint64_t bitsOf(const SegmentView& s, uint64_t e, const Ring& r) {
  return loadLE(s.exceptions + 2 * s.entries + r.size * e, r.size);
}

// The larger of the two largest of `xs`, counting equal ones apart.
uint64_t secondLargest(const uint64_t* xs, size_t n) {
  uint64_t a = 0, b = 0;
  for (size_t i = 0; i < n; ++i) {
    if (xs[i] > a) {
      b = a;
      a = xs[i];
    } else if (xs[i] > b) {
      b = xs[i];
    }
  }
  return b;
}

}  // namespace

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
}

void applyExceptions(const SegmentView& s, uint64_t j, uint64_t n, const Ring& r, bool differences, int64_t* stage) {
  const uint64_t lo = j * kBlockValues, hi = lo + n;
  // The first at or past the block, by halving.
  uint64_t a = 0, b = s.entries;
  while (a < b) {
    const uint64_t mid = a + (b - a) / 2;
    if (positionOf(s, mid) < lo) a = mid + 1;
    else b = mid;
  }
  if (a > 0 && positionOf(s, a - 1) >= lo) corruptSegment(s, "exception positions do not rise");
  for (uint64_t e = a, previous = lo; e < s.entries; ++e) {
    const uint64_t p = positionOf(s, e);
    if (p >= hi) break;
    if (e > a && p <= previous) corruptSegment(s, "exception positions do not rise");
    if (differences && p == lo)
      corruptSegment(s, "exception position " + std::to_string(p) + " is a block's first value");
    stage[p - lo] = static_cast<int64_t>(bitsOf(s, e, r) - s.reference);
    previous = p;
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

bool proposePatched(EncoderBlock& b, const uint64_t* xs, size_t from, uint64_t lo, uint64_t hi, int wAll,
                    Scheme scheme, uint64_t fixed, Params& p, uint64_t& size) {
  if (b.samples < 2) return false;
  bool found = false;
  for (const bool below : {false, true}) {
    uint64_t dist[kSampleSize];
    for (size_t j = 0; j < b.samples; ++j) {
      const uint64_t x = xs[std::max<size_t>(b.sample[j], from)];
      dist[j] = below ? hi - x : x - lo;
    }
    const int bw = bitlen(secondLargest(dist, b.samples));
    if (bw >= wAll) continue;
    uint64_t inLo = 0, inHi = 0;
    b.loops.windowRange(xs + from, b.n - from, below ? hi : lo, below, spanOf(bw), &inLo, &inHi);
    Params c;
    c.scheme = scheme;
    c.w = bitlen(inHi - inLo);
    c.ref = alignWindow(inLo, inHi, c.w, b.ring.k);
    const uint64_t e = b.loops.outside(xs + from, b.n - from, c.ref, spanOf(c.w));
    const uint64_t sz = fixed + bytesFor(b.n, c.w) + e * (2 + b.ring.size);
    if (!found || sz < size) {
      p = c;
      size = sz;
      found = true;
    }
  }
  return found;
}

bool fitsPatched(const OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, uint64_t extra,
                 uint64_t& cost) {
  const uint64_t e = b.n > from ? b.loops.outside(xs + from, b.n - from, seg.p.ref, spanOf(seg.p.w)) : 0;
  if (seg.exceptions + e > kSegmentExceptions) return false;
  cost = extra + bytesFor(b.n, seg.p.w) + e * (2 + b.ring.size);
  return true;
}

size_t writePatchedFields(OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, int64_t* stage,
                          uint8_t* out) {
  const uint64_t ref = seg.p.ref, span = spanOf(seg.p.w);
  for (size_t i = 0; i < from; ++i) stage[i] = 0;
  b.loops.offsets(xs + from, b.n - from, ref, stage + from);
  for (size_t i = from; i < b.n; ++i) {
    if (xs[i] - ref <= span) continue;
    stage[i] = 0;
    seg.exceptionAt[seg.exceptions] = static_cast<uint16_t>(seg.values + i);
    // A value's bits, or a difference's.
    seg.exceptionBits[seg.exceptions++] = from == 0 ? b.ring.valueOfPlace(xs[i]) : b.ring.flip(xs[i]);
  }
  return writeFields(stage, b.n, seg.p.w, out);
}

size_t closePatched(OpenSegment& seg, const Ring& r, size_t countAt, uint8_t* out) {
  storeLE(seg.begin + countAt, seg.exceptions, 2);
  for (size_t e = 0; e < seg.exceptions; ++e) storeLE(out + 2 * e, seg.exceptionAt[e], 2);
  uint8_t* bits = out + 2 * seg.exceptions;
  for (size_t e = 0; e < seg.exceptions; ++e) storeLE(bits + r.size * e, seg.exceptionBits[e], r.size);
  return seg.exceptions * (2 + r.size);
}

}  // namespace vaskor::frame::detail
