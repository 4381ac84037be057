// The exceptions of the patched schemes (private): values, or differences,
// that do not fit a segment's window, stored apart after its blocks as
// 16-bit positions in the segment and then their bits, and put back into
// their blocks' fields before the fields are drained.
#pragma once

#include "frame/scheme_codec.hpp"

namespace vaskor::frame::detail {

// Reading. A full decode checks them all (rising, inside the segment, and
// for differences never a block's first value) before any block; a block
// checks those it applies.
void checkExceptions(const SegmentView& s, bool differences);
// Block j's exceptions into its n fields: each field becomes bits − reference,
// which the drain adds back.
void applyExceptions(const SegmentView& s, uint64_t j, uint64_t n, const Ring& r, bool differences, int64_t* stage);
// How many fall in block j, for a block's description.
uint64_t exceptionsIn(const SegmentView& s, uint64_t j, uint64_t n);

// Writing. xs are the places a window is set on: the values' (from 0) or
// the differences' (from 1); lo..hi their range at width wAll; `fixed` the
// segment's bytes besides fields and exceptions.
bool proposePatched(EncoderBlock& b, const uint64_t* xs, size_t from, uint64_t lo, uint64_t hi, int wAll,
                    Scheme scheme, uint64_t fixed, Params& p, uint64_t& size);
// `extra`: the block's bytes besides fields and exceptions.
bool fitsPatched(const OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, uint64_t extra,
                 uint64_t& cost);
// The block's fields, an exception's 0, at `out`; the exceptions recorded.
size_t writePatchedFields(OpenSegment& seg, const EncoderBlock& b, const uint64_t* xs, size_t from, int64_t* stage,
                          uint8_t* out);
// The exceptions after the blocks, and their count into the description's
// 16 bits at `countAt` bytes into it.
size_t closePatched(OpenSegment& seg, const Ring& r, size_t countAt, uint8_t* out);

}  // namespace vaskor::frame::detail
