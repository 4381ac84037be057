// The exceptions of the patched schemes (private): values, or differences,
// that do not fit a segment's window. Each keeps the low bits of its offset
// from the window in its field; what lies beyond them (its overflow) is
// stored apart after the segment's blocks, as a 16-bit position in the
// segment and a field of the segment's overflow width, and added back into
// the field before the fields are drained.
#pragma once

#include "frame/scheme_codec.hpp"

namespace vaskor::frame::detail {

// Reading. Every decode checks them all (rising, inside the segment, and
// for differences never a block's first value) before any block of the
// segment, unless the view was checked before, and reads the overflows into
// `room` where they fit (null: only checks).
void readExceptions(SegmentView& s, bool differences, uint64_t* room);
// Block j's exceptions into its n fields.
void applyExceptions(const SegmentView& s, uint64_t j, uint64_t n, int64_t* stage);
// How many fall in block j, for a block's description.
uint64_t exceptionsIn(const SegmentView& s, uint64_t j, uint64_t n);
// A patched description at `p` (its scheme byte): the window, then the
// exception count and overflow width, checked against the segment and the
// width; returns its length.
size_t describePatched(SegmentView& s, const uint8_t* p, const Ring& r);

// Writing. The window is set on the values' places (from 0) or the
// differences' (from 1): `sampled` those at the block's sample positions,
// lo..hi their range at width wAll; `places` gives them all, asked only
// when the sample says a window might pay; `fixed` is the segment's bytes
// besides fields and exceptions.
bool proposePatched(EncoderBlock& b, const uint64_t* sampled, const uint64_t* (*places)(EncoderBlock&), size_t from,
                    uint64_t lo, uint64_t hi, int wAll, Scheme scheme, uint64_t fixed, Params& p, uint64_t& size);
// `extra`: the block's bytes besides fields and exceptions.
bool fitsPatched(const OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, uint64_t extra,
                 uint64_t& cost);
// The block's fields at `out`; the exceptions recorded.
size_t writePatchedFields(OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, int64_t* stage,
                          uint8_t* out);
// The description's exception count (0 until the segment closes) and
// overflow width after its window of `window` bytes; returns its length.
size_t writePatchedDescription(size_t window, const Params& p, uint8_t* out);
// The exceptions after the blocks, and their count into the description's
// 16 bits at `countAt` bytes into it.
size_t closePatched(OpenSegment& seg, size_t countAt, uint8_t* out);
// The bytes of e exceptions at overflow width ew.
inline uint64_t exceptionBytes(uint64_t e, int ew) { return 2 * e + bytesFor(e, ew); }

}  // namespace vaskor::frame::detail
