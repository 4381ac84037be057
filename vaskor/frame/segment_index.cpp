#include "frame/segment_index.hpp"

#include <algorithm>
#include <bit>
#include <string>

#include "frame/blocked_format.hpp"
#include "frame/header_fields.hpp"

namespace vaskor::frame::detail {

namespace {

using vaskor::detail::BitStream;

[[noreturn]] void corrupt(const std::string& msg, Site site = Site::here()) { raise<FrameError>(msg, site); }

}  // namespace

uint64_t SegmentIndex::bytesFor(uint64_t segments, uint64_t blocks, uint64_t dataBytes) {
  return detail::bytesFor(segments, bitlen(blocks)) + detail::bytesFor(segments, bitlen(dataBytes));
}

SegmentIndex::SegmentIndex(const Header& h, const uint8_t* frame)
    : segments_(h.segments),
      blocks_(h.blocks()),
      dataBytes_(h.dataBytes),
      blockEnds_(frame + kHeaderSize + h.dataBytes),
      byteEnds_(blockEnds_ + detail::bytesFor(h.segments, bitlen(h.blocks()))),
      blockWidth_(bitlen(h.blocks())),
      byteWidth_(bitlen(h.dataBytes)) {}

uint64_t SegmentIndex::blockEnd(uint64_t s) const {
  return vaskor::detail::readField(blockEnds_, BitStream{segments_, blockWidth_}, s);
}

uint64_t SegmentIndex::byteEnd(uint64_t s) const {
  return vaskor::detail::readField(byteEnds_, BitStream{segments_, byteWidth_}, s);
}

SegmentEntry SegmentIndex::entry(uint64_t s) const {
  SegmentEntry e{s, s == 0 ? 0 : blockEnd(s - 1), blockEnd(s), s == 0 ? 0 : byteEnd(s - 1), byteEnd(s)};
  const std::string name = "frame index entry " + std::to_string(s);
  if (e.endBlock <= e.firstBlock || e.endBlock - e.firstBlock > kSegmentBlocks)
    corrupt(name + ": blocks " + std::to_string(e.firstBlock) + " to " + std::to_string(e.endBlock) +
            " (a segment holds 1 to " + std::to_string(kSegmentBlocks) + ")");
  if (e.end <= e.begin) corrupt(name + ": bytes " + std::to_string(e.begin) + " to " + std::to_string(e.end) + " do not rise");
  if (e.endBlock > blocks_ || e.end > dataBytes_) corrupt(name + " is past the frame's blocks or data");
  if (s + 1 == segments_ && (e.endBlock != blocks_ || e.end != dataBytes_))
    corrupt(name + " ends at block " + std::to_string(e.endBlock) + " and byte " + std::to_string(e.end) +
            ", not at the frame's " + std::to_string(blocks_) + " and " + std::to_string(dataBytes_));
  return e;
}

SegmentEntry SegmentIndex::find(uint64_t block) const {
  uint64_t a = 0, b = segments_;
  while (a < b) {
    const uint64_t mid = a + (b - a) / 2;
    if (blockEnd(mid) <= block) a = mid + 1;
    else b = mid;
  }
  if (a == segments_) corrupt("frame index holds no segment for block " + std::to_string(block));
  const SegmentEntry e = entry(a);
  if (block < e.firstBlock) corrupt("frame index entries do not rise");
  return e;
}

void SegmentIndex::checkAll() const {
  if (!vaskor::detail::paddingClear(blockEnds_, BitStream{segments_, blockWidth_}) ||
      !vaskor::detail::paddingClear(byteEnds_, BitStream{segments_, byteWidth_}))
    corrupt("frame index padding bits are not zero");
  for (uint64_t s = 0; s < segments_; ++s) entry(s);
}

uint64_t writeSegmentIndex(const uint8_t* staged, uint64_t segments, uint64_t blocks, uint64_t dataBytes,
                           uint8_t* out) {
  // Each stream packed a chunk of whole kernel blocks at a time after its
  // head, from the running totals of the staged entries; what is written
  // never reaches entries not yet read (the staging lies past the index).
  constexpr uint64_t kChunk = 16 * vaskor::detail::kBlockFields;
  alignas(64) int64_t fields[kChunk];
  uint8_t* at = out;
  for (const bool bytes : {false, true}) {
    const int w = bitlen(bytes ? dataBytes : blocks);
    const BitStream s{segments, w};
    if (segments == 0 || w == 0) continue;
    uint64_t total = 0, done = 0;
    auto next = [&](uint64_t n) {
      for (uint64_t i = 0; i < n; ++i) {
        const uint64_t e = loadLE(staged + 8 * (done + i), 8);
        total += bytes ? e & 0xffffffff : e >> 32;
        fields[i] = static_cast<int64_t>(total);
      }
      done += n;
    };
    next(s.head());
    vaskor::detail::packHead(fields, s.head(), w, at, s.headBytes());
    uint8_t* blocksAt = at + s.headBytes();
    while (done < segments) {  // `next` moves done
      const uint64_t n = std::min(kChunk, segments - done);
      next(n);
      vaskor::detail::kernels().packBlocks[w](fields, blocksAt, n / vaskor::detail::kBlockFields);
      blocksAt += n / vaskor::detail::kBlockFields * s.blockBytes();
    }
    at += s.bytes();
  }
  return at - out;
}

}  // namespace vaskor::frame::detail
