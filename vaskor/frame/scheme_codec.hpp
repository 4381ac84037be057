// A block scheme of the blocked layout (private): how a segment's
// description reads and writes, how its blocks decode, and how the encoder
// sizes a block under it. One file per scheme (frame/schemes/); the layout
// loops over segments and blocks and hands each to its scheme.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "detail/block_loops.hpp"
#include "detail/frame_loops.hpp"
#include "frame/blocked_format.hpp"
#include "frame/dictionary_index.hpp"

namespace vaskor::frame::detail {

// ---- Reading ----

// A segment as its index entry and its description give it.
struct SegmentView {
  Scheme scheme;
  uint64_t index;  // its place among the segments
  uint64_t firstBlock, blockCount, firstValue, valueCount;
  const uint8_t* begin;
  const uint8_t* end;
  int width = 0, width2 = 0;
  // As the description stores them: a value's or a difference's bits.
  uint64_t reference = 0, reference2 = 0;
  uint64_t entries = 0;  // exceptions, table entries or runs
  // Patched: the width of each exception's overflow, and where the
  // overflows' stream starts (after the positions).
  const uint8_t* blocks = nullptr;
  uint64_t blockBytes = 0;  // every block's but a shorter last one's
  const uint8_t* exceptions = nullptr;
  int overflowWidth = 0;
  const uint64_t* table = nullptr;  // a dictionary's values' bits
  const uint64_t* overflows = nullptr;  // the exceptions' overflows, where they were read
  // Described and checked before (a whole decode's second pass): the
  // checks of what follows the blocks and of a table's order are skipped.
  bool checked = false;

  const uint8_t* blockAt(uint64_t j) const { return blocks + j * blockBytes; }
  uint64_t valuesIn(uint64_t j) const {
    const uint64_t before = j * kBlockValues;
    return valueCount - before < kBlockValues ? valueCount - before : kBlockValues;
  }
};

// Where a block decodes to, and what it decodes with.
struct BlockOut {
  const Ring& ring;
  const TypeLoops& loops;
  const BlockLoops& block;
  int64_t* stage;  // 2 · kBlockValues fields
  uint8_t* out;    // the block's n items

  // The items themselves as the fields to unpack into and finish in place,
  // where they are 64-bit and aligned; null otherwise (the stage is used).
  uint64_t* direct() const {
    return ring.size == 8 && reinterpret_cast<uintptr_t>(out) % 8 == 0 ? reinterpret_cast<uint64_t*>(out) : nullptr;
  }
};

// ---- Writing ----

// A block the encoder is placing: its places, statistics and sample, and
// what is worked out only when a candidate needs it.
struct EncoderBlock {
  EncoderBlock(const Ring& r, const BlockLoops& l, const uint64_t* places, uint64_t* differencePlaces)
      : ring(r), loops(l), u(places), o(differencePlaces) {}

  const Ring& ring;
  const BlockLoops& loops;
  const uint64_t* u;  // values' places
  uint64_t* o;        // differences' places, o[1..n), once differences() made them
  size_t n = 0;
  BlockStats s{};
  int w = 0, wd = 0;  // bit widths of the values' and the differences' ranges
  size_t samples = 0;
  uint32_t sample[kSampleSize];  // positions
  // Runs, once someone asked (runCount 0 before).
  size_t runCount = 0;
  uint64_t runValue[kMaxEntries + 1];  // one past the last run: room for findRuns' stores
  uint64_t runLength[kMaxEntries];
  // A candidate dictionary's table of places, ascending.
  size_t candidateEntries = 0;
  uint64_t candidateTable[kMaxEntries];
  // The block's codes in the open dictionary segment's table, once it fits there.
  bool codesValid = false;
  uint16_t codes[kBlockValues];
  uint64_t used[kMaxEntries / 64];
  const uint64_t* codedTable = nullptr;
  bool differencesMade = false;

  void findRuns();
  const uint64_t* differences() {
    if (!differencesMade) loops.differences(u, n, ring.mask, ring.sign, o);
    differencesMade = true;
    return o;
  }
};

// A segment's scheme and parameters; references are places.
struct Params {
  Scheme scheme = Scheme::constant;
  // w2: the second width (a dictionary's table, run lengths, exceptions' overflow).
  int w = 0, w2 = 0;
  uint64_t ref = 0, ref2 = 0;
  uint64_t entries = 0;     // table entries or runs
  const uint64_t* table = nullptr;
};

// The segment being written.
struct OpenSegment {
  Params p;
  uint8_t* begin = nullptr;  // its description
  uint64_t blocks = 0, values = 0;
  uint64_t table[kMaxEntries];
  DictionaryIndex dictionary;
  size_t exceptions = 0;
  uint16_t exceptionAt[kSegmentExceptions];
  uint64_t exceptionHigh[kSegmentExceptions];
};

struct SchemeCodec {
  Scheme scheme;
  // Reading. describe fills the view from the description at `p` (its
  // scheme byte; the segment ends at view.end) and returns its length;
  // `table` is room for a dictionary's kMaxEntries values.
  size_t (*describe)(SegmentView&, const uint8_t* p, const Ring&, uint64_t* table);
  uint64_t (*blockBytes)(const SegmentView&, uint64_t n, const Ring&);
  uint64_t (*tailBytes)(const SegmentView&, const Ring&);
  // What follows the blocks (null: nothing does), before any block is
  // decoded: checked unless the view was checked before, and read into
  // `room` (kMaxEntries words) where it fits; a null room: only checked.
  void (*readTail)(SegmentView&, uint64_t* room);
  void (*decodeBlock)(const SegmentView&, const BlockOut&, uint64_t j, uint64_t n);

  // Writing. propose: the block's own candidate, exactly sized as a
  // segment of its own; false when the scheme does not apply. fits: the
  // block's bytes in the open segment, false when it does not fit there.
  // `best` is the smallest candidate proposed before (the dictionary is
  // tried last, and only while it might win).
  bool (*propose)(EncoderBlock&, Params&, uint64_t& size, uint64_t best);
  bool (*fits)(const OpenSegment&, EncoderBlock&, uint64_t& cost);
  // Makes `p` the open segment's parameters (what they point to kept there).
  void (*open)(OpenSegment&, const Params& p);
  size_t (*writeDescription)(const Params&, const Ring&, uint8_t* out);
  size_t (*writeBlock)(OpenSegment&, const EncoderBlock&, int64_t* stage, uint8_t* out);
  // What follows the blocks once the segment is complete.
  size_t (*close)(OpenSegment&, const Ring&, uint8_t* out);
};

// The scheme of a scheme byte; null when there is none.
const SchemeCodec* schemeCodec(uint8_t schemeByte);

#define VASKOR_SCHEME_CODEC_(c, cxx, ...) extern const SchemeCodec cxx##Scheme;
VASKOR_SCHEMES(VASKOR_SCHEME_CODEC_)
#undef VASKOR_SCHEME_CODEC_

// Shared by the schemes: a field stream of n fields at w bits (none at w
// 0) read into `stage` with its padding checked, and written from it.
void readFields(const uint8_t* in, uint64_t n, int w, int64_t* stage, const SegmentView& where);
size_t writeFields(const int64_t* fields, uint64_t n, int w, uint8_t* out);
// The open of every scheme but the dictionary: the parameters alone.
void openWithParams(OpenSegment& seg, const Params& p);
// A corrupt segment: FrameError naming it.
[[noreturn]] void corruptSegment(const SegmentView& s, const std::string& what);

}  // namespace vaskor::frame::detail
