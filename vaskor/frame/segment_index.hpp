// The blocked layout's segment index (private): after the segment data,
// the segments' block ends and byte ends as two field streams, so that the
// segment of any block is found by halving without reading the others.
#pragma once

#include <cstdint>

#include "detail/bit_stream.hpp"
#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

// One segment's place: blocks [firstBlock, endBlock), data bytes [begin, end).
struct SegmentEntry {
  uint64_t segment, firstBlock, endBlock, begin, end;
};

class SegmentIndex {
 public:
  // `frame` has passed readHeader.
  SegmentIndex(const Header& h, const uint8_t* frame);

  // Entry s, checked against the one before it (and, for the last, the
  // header's totals).
  SegmentEntry entry(uint64_t s) const;
  // The segment holding block b, found by halving, its entry checked.
  SegmentEntry find(uint64_t block) const;
  // A full decode's check: the streams' padding and every entry.
  void checkAll() const;
  uint64_t segments() const { return segments_; }

  // The index's bytes for `segments` segments of `blocks` blocks and
  // `dataBytes` bytes.
  static uint64_t bytesFor(uint64_t segments, uint64_t blocks, uint64_t dataBytes);

 private:
  uint64_t blockEnd(uint64_t s) const;
  uint64_t byteEnd(uint64_t s) const;

  uint64_t segments_, blocks_, dataBytes_;
  const uint8_t* blockEnds_;
  const uint8_t* byteEnds_;
  int blockWidth_, byteWidth_;
};

// Writes the index at `out` from `segments` entries staged as (blocks << 32
// | bytes) little-endian words, each segment's own blocks and bytes, at `staged`, which may
// lie after `out` (read before written over); returns its bytes.
uint64_t writeSegmentIndex(const uint8_t* staged, uint64_t segments, uint64_t blocks, uint64_t dataBytes,
                           uint8_t* out);

}  // namespace vaskor::frame::detail
