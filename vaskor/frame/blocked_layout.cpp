// The blocked layout (version 2): its header, and decoding by segments and
// blocks. A full decode checks the index and every segment's description
// before it writes a value, then hands each block to its scheme; a range
// decode finds the segments of its blocks through the index and reads
// nothing else.
#include <algorithm>
#include <string>

#include "detail/checked_size.hpp"
#include "frame/blocked_encoder.hpp"
#include "frame/header_fields.hpp"
#include "frame/layout_codec.hpp"
#include "frame/patching.hpp"
#include "frame/scheme_codec.hpp"
#include "frame/segment_index.hpp"

namespace vaskor::frame::detail {

namespace {

using vaskor::detail::u128;

[[noreturn]] void corrupt(const std::string& msg, Site site = Site::here()) { raise<FrameError>(msg, site); }

void readBlockedHeader(Header& h, std::span<const uint8_t> frame) {
  const uint8_t* p = frame.data();
  if (p[kBlockShiftAt] != kBlockShift)
    corrupt("frame block size 2^" + std::to_string(p[kBlockShiftAt]) + " is not 2^" + std::to_string(kBlockShift));
  h.segments = loadLE(p + kSegmentsAt, 8);
  h.dataBytes = loadLE(p + kDataBytesAt, 8);
  const size_t size = itemSize(h.type);
  if (static_cast<u128>(h.count) * size > static_cast<u128>(INT64_MAX))
    corrupt("frame count " + std::to_string(h.count) + " is too large: its " + nameOf(h.type) +
            " values exceed 2^63-1 bytes");
  const uint64_t blocks = h.blocks();
  if (h.count == 0 ? h.segments != 0 || h.dataBytes != 0
                   : h.segments < (blocks + kSegmentBlocks - 1) / kSegmentBlocks || h.segments > blocks)
    corrupt("frame of " + std::to_string(blocks) + " blocks has " + std::to_string(h.segments) + " segments and " +
            std::to_string(h.dataBytes) + " data bytes");
  const uint64_t body = frame.size() - kHeaderSize;
  if (h.dataBytes > body || h.dataBytes < h.segments ||
      body - h.dataBytes != SegmentIndex::bytesFor(h.segments, blocks, h.dataBytes))
    corrupt("frame is " + std::to_string(frame.size()) + " bytes, its header gives " +
            std::to_string(static_cast<unsigned long long>(
                std::min<u128>(static_cast<u128>(kHeaderSize) + h.dataBytes +
                                   SegmentIndex::bytesFor(h.segments, blocks, h.dataBytes),
                               UINT64_MAX))));
}

uint64_t blockedFrameSize(const Header& h) {
  return kHeaderSize + h.dataBytes + SegmentIndex::bytesFor(h.segments, h.blocks(), h.dataBytes);
}

bool takesAny(Transform) { return true; }

// A segment's view from its index entry, its description read and its size
// checked; `table` holds a dictionary's values, `room` what follows the
// blocks (null: only checked).
SegmentView describe(const Header& h, std::span<const uint8_t> frame, const SegmentEntry& e, const Ring& r,
                     uint64_t* table, uint64_t* room, bool checked) {
  SegmentView v{};
  v.checked = checked;
  v.index = e.segment;
  v.firstBlock = e.firstBlock;
  v.blockCount = e.endBlock - e.firstBlock;
  v.firstValue = e.firstBlock * kBlockValues;
  v.valueCount = std::min<uint64_t>(h.count, e.endBlock * kBlockValues) - v.firstValue;
  const uint8_t* data = frame.data() + kHeaderSize;
  v.begin = data + e.begin;
  v.end = data + e.end;
  const SchemeCodec* c = schemeCodec(v.begin[0]);
  if (c == nullptr) corrupt("frame segment " + std::to_string(e.segment) + " has unknown scheme " + std::to_string(v.begin[0]));
  v.scheme = c->scheme;
  if (!transformAllows(h.transform, v.scheme))
    corruptSegment(v, std::string("transform '") + nameOf(h.transform) + "' does not allow it");
  const uint64_t description = c->describe(v, v.begin, r, table);
  v.blocks = v.begin + description;
  v.blockBytes = c->blockBytes(v, kBlockValues, r);
  const u128 blocksBytes = static_cast<u128>(v.blockCount - 1) * v.blockBytes + c->blockBytes(v, v.valuesIn(v.blockCount - 1), r);
  const u128 total = description + blocksBytes + c->tailBytes(v, r);
  if (total != e.end - e.begin)
    corruptSegment(v, "is " + std::to_string(e.end - e.begin) + " bytes, its description and blocks take " +
                          std::to_string(static_cast<unsigned long long>(std::min<u128>(total, UINT64_MAX))));
  v.exceptions = v.blocks + static_cast<uint64_t>(blocksBytes);
  // What follows the blocks is the segment's, whichever blocks are read.
  if (c->readTail != nullptr) c->readTail(v, room);
  return v;
}

struct Decoder {
  Decoder(const Header& header, std::span<const uint8_t> f)
      : h(header), frame(f), ring(h.type), loops(frameLoops()[typeIndex(h.type)]), index(h, frame.data()) {}

  const Header& h;
  std::span<const uint8_t> frame;
  Ring ring;
  const TypeLoops& loops;
  SegmentIndex index;
  alignas(64) int64_t stage[2 * kBlockValues];
  uint64_t table[kMaxEntries];
  uint64_t tail[kMaxEntries];

  // A segment checked, nothing read for its blocks (a whole decode's first
  // pass, the block summaries).
  SegmentView check(const SegmentEntry& e) { return describe(h, frame, e, ring, table, nullptr, false); }
  // A segment to decode blocks of; `checked`: check() saw it before.
  SegmentView open(const SegmentEntry& e, bool checked) { return describe(h, frame, e, ring, table, tail, checked); }

  void block(const SegmentView& v, uint64_t j, uint8_t* out) {
    schemeCodec(static_cast<uint8_t>(v.scheme))->decodeBlock(v, BlockOut{ring, loops, blockLoops(), stage, out}, j, v.valuesIn(j));
  }

  void all(uint8_t* out) {
    index.checkAll();
    for (uint64_t s = 0; s < index.segments(); ++s) check(index.entry(s));
    for (uint64_t s = 0; s < index.segments(); ++s) {
      const SegmentView v = open(index.entry(s), true);
      for (uint64_t j = 0; j < v.blockCount; ++j) block(v, j, out + (v.firstValue + j * kBlockValues) * ring.size);
    }
  }

  void range(uint64_t start, uint64_t stop, uint8_t* out) {
    alignas(64) uint8_t items[kBlockValues * 8];
    SegmentView v{};
    bool have = false;
    for (uint64_t b = start / kBlockValues; b * kBlockValues < stop; ++b) {
      if (!have || b >= v.firstBlock + v.blockCount) {
        v = open(index.find(b), false);
        have = true;
      }
      const uint64_t j = b - v.firstBlock, first = b * kBlockValues, n = v.valuesIn(j);
      const uint64_t lo = std::max(start, first), hi = std::min(stop, first + n);
      if (lo == first && hi == first + n) {
        block(v, j, out + (first - start) * ring.size);
        continue;
      }
      block(v, j, items);
      std::copy(items + (lo - first) * ring.size, items + (hi - first) * ring.size, out + (lo - start) * ring.size);
    }
  }
};

void decodeBlockedRange(const Header& h, std::span<const uint8_t> frame, uint64_t start, uint64_t stop, uint8_t* out) {
  if (h.count == 0) return;
  Decoder d(h, frame);
  if (start == 0 && stop == h.count) d.all(out);
  else if (start < stop) d.range(start, stop, out);
}

BlockSummary readBlockedBlocks(const Header& h, std::span<const uint8_t> frame) {
  BlockSummary s;
  if (h.count == 0) return s;
  Decoder d(h, frame);
  d.index.checkAll();
  s.blocks = h.blocks();
  s.blockValues = kBlockValues;
  s.segments = h.segments;
  for (uint64_t i = 0; i < h.segments; ++i) {
    const SegmentView v = d.check(d.index.entry(i));
    s.schemes[static_cast<size_t>(v.scheme)] += v.blockCount;
  }
  return s;
}

BlockInfo readBlockedBlock(const Header& h, std::span<const uint8_t> frame, uint64_t index) {
  if (index >= h.blocks())
    raise<ValueError>("block " + std::to_string(index) + " is past the frame's " + std::to_string(h.blocks()) + " blocks");
  Decoder d(h, frame);
  const SegmentView v = d.check(d.index.find(index));
  const uint64_t j = index - v.firstBlock, n = v.valuesIn(j);
  const bool patched = v.scheme == Scheme::patched || v.scheme == Scheme::patchedDelta;
  return {index * kBlockValues, n, v.scheme, static_cast<uint8_t>(v.width),
          static_cast<uint64_t>(v.blockAt(j) - frame.data()),
          schemeCodec(static_cast<uint8_t>(v.scheme))->blockBytes(v, n, d.ring), patched ? exceptionsIn(v, j, n) : 0,
          v.index};
}

}  // namespace

const LayoutCodec kBlockedLayout{Layout::blocked,  2,
                                 &takesAny,        &maxBlockedFrameSize,
                                 &blockedFrameSize, &readBlockedHeader,
                                 &encodeBlocked,    &decodeBlockedRange,
                                 &readBlockedBlocks, &readBlockedBlock};

}  // namespace vaskor::frame::detail
