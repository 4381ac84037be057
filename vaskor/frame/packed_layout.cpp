// The layouts of version 1: values of any integer type, transformed to
// non-negative ones and packed in the bit-packed or whole-byte format behind
// the 40-byte header. The values pass through a stage of a few thousand
// 64-bit fields in the first-level cache: the transform fills it, the
// codecs' own kernels pack it (and the reverse on decoding), so the input
// leaves memory once for its range and once to be packed.
#include "frame/packed_layout.hpp"

#include <algorithm>
#include <bit>
#include <string>

#include "detail/bit_stream.hpp"
#include "detail/frame_loops.hpp"
#include "detail/kernels.hpp"
#include "detail/room.hpp"
#include "frame/header_fields.hpp"
#include "frame/layout_codec.hpp"

namespace vaskor::frame::detail {

void readPackedHeader(Header& h, std::span<const uint8_t> frame);
uint64_t maxPackedFrameSize(ElementType type, uint64_t count);

namespace {

using vaskor::detail::BitStream;
using vaskor::detail::kBlockFields;

// Whole blocks, few enough to stay in the first-level cache with what they
// pack into. (Same chunk as the bit-packed encoder's.)
constexpr size_t kChunkValues = 32 * kBlockFields;

const TypeLoops& loopsFor(ElementType type) { return frameLoops()[typeIndex(type)]; }

void packPayload(const TypeLoops& loops, const Header& h, const uint8_t* v, uint8_t* out) {
  const uint64_t m = h.packedCount();
  const int w = h.width;
  if (w == 0) return;
  const auto fill = h.transform == Transform::delta ? loops.deltaFill : loops.forFill;
  const vaskor::detail::Kernels& k = vaskor::detail::kernels();
  alignas(64) int64_t stage[kChunkValues];
  if (h.layout == Layout::wholeByte) {
    for (size_t from = 0; from < m; from += kChunkValues) {
      const size_t n = std::min<size_t>(kChunkValues, m - from);
      fill(v, h.reference, from, n, stage);
      k.packWhole(w, stage, out + from * static_cast<size_t>(w), n);
    }
    return;
  }
  const BitStream s{m, w};
  if (s.head() > 0) {
    fill(v, h.reference, 0, s.head(), stage);
    vaskor::detail::packHead(stage, s.head(), w, out, s.headBytes());
  }
  for (size_t from = s.head(); from < m; from += kChunkValues) {
    const size_t n = std::min<size_t>(kChunkValues, m - from);
    fill(v, h.reference, from, n, stage);
    k.packBlocks[w](stage, out + s.blockAt(from), n / kBlockFields);
  }
}

// The packed values [from, from + n) of the payload into `stage`.
void unpackPacked(const Header& h, const uint8_t* payload, uint64_t from, uint64_t n, int64_t* stage) {
  const int w = h.width;
  if (w == 0) {
    std::fill(stage, stage + n, 0);
  } else if (h.layout == Layout::wholeByte) {
    vaskor::detail::kernels().unpackWhole(w, payload + from * w, n * w, stage);
  } else {
    vaskor::detail::unpackStream(payload, BitStream{h.packedCount(), w}, from, from + n, stage);
  }
}

uint64_t bytesOf(const Header& h, uint64_t items) { return items * itemSize(h.type); }

void decodePackedRange(const Header& h, std::span<const uint8_t> frame, uint64_t start, uint64_t stop, uint8_t* out) {
  const uint8_t* payload = frame.data() + kHeaderSize;
  if (h.layout == Layout::bitPacked && h.width > 0 && !vaskor::detail::paddingClear(payload, BitStream{h.packedCount(), h.width}))
    raise<FrameError>("frame padding bits are not zero");
  const TypeLoops& loops = loopsFor(h.type);
  alignas(64) int64_t stage[kChunkValues];
  if (h.transform != Transform::delta) {
    for (uint64_t at = start; at < stop; at += kChunkValues) {
      const uint64_t n = std::min<uint64_t>(kChunkValues, stop - at);
      unpackPacked(h, payload, at, n, stage);
      loops.forDrain(stage, h.reference, n, out + bytesOf(h, at - start));
    }
    return;
  }
  if (start == stop) return;
  // Item i > 0 is first plus the packed values [0, i), each with the reference.
  uint64_t previous = h.first;
  for (uint64_t at = 0; at + 1 < start; at += kChunkValues) {
    const uint64_t n = std::min<uint64_t>(kChunkValues, start - 1 - at);
    unpackPacked(h, payload, at, n, stage);
    previous = loops.deltaSkip(stage, h.reference, previous, n);
  }
  uint64_t written = 0;
  if (start == 0) {
    loops.fillItems(h.first, 1, out);
    written = 1;
  }
  // Packed value j makes item j + 1.
  for (uint64_t j = start + written - 1; written < stop - start;) {
    const uint64_t n = std::min<uint64_t>(kChunkValues, stop - start - written);
    unpackPacked(h, payload, j, n, stage);
    previous = loops.deltaDrain(stage, h.reference, previous, n, out + bytesOf(h, written));
    written += n;
    j += n;
  }
}

uint64_t encodePacked(ElementType type, const void* values, uint64_t count, Options options, std::span<uint8_t> out) {
  const auto* v = static_cast<const uint8_t*>(values);
  const Header h = planPacked(type, v, count, options);
  const uint64_t size = h.frameSize();
  vaskor::detail::requireRoom(size, out.size(), "bytes");
  writePacked(h, v, out.data());
  return size;
}

// A version 1 frame is one block of its transform's scheme.
BlockSummary packedBlocks(const Header& h, std::span<const uint8_t>) {
  BlockSummary s;
  if (h.count == 0) return s;
  s.blocks = s.segments = 1;
  s.blockValues = h.count;
  s.schemes[static_cast<size_t>(h.transform == Transform::delta ? Scheme::delta : Scheme::frameOfReference)] = 1;
  return s;
}

BlockInfo packedBlock(const Header& h, std::span<const uint8_t> frame, uint64_t index) {
  if (index >= (h.count > 0 ? 1u : 0u))
    raise<ValueError>("block " + std::to_string(index) + " is past the frame's " + std::to_string(h.count > 0 ? 1 : 0) +
                      " blocks");
  return {0, h.count, h.transform == Transform::delta ? Scheme::delta : Scheme::frameOfReference,
          static_cast<uint8_t>(h.layout == Layout::wholeByte ? 8 * h.width : h.width), kHeaderSize,
          frame.size() - kHeaderSize, 0, 0};
}

uint64_t packedFrameSize(const Header& h) { return kHeaderSize + h.payloadSize(); }

bool takesOneTransform(Transform t) { return t == Transform::frameOfReference || t == Transform::delta; }

}  // namespace

Header planPacked(ElementType type, const uint8_t* v, uint64_t n, Options o) {
  const TypeLoops& loops = loopsFor(type);
  Header h{1, o.layout, type, o.transform, 0, n, 0, 0};
  const size_t size = itemSize(type);
  Range64 r{0, 0};
  if (o.transform == Transform::delta) {
    if (n >= 1) h.first = loops.range(v, 1).lo;
    if (n >= 2) r = loops.differenceRange(v, n);
  } else if (n >= 1) {
    r = loops.range(v, n);
  }
  h.reference = r.lo;
  // The largest packed value, modulo 2^(8·size).
  const uint64_t span = (r.hi - r.lo) & (~uint64_t{0} >> (64 - 8 * size));
  const int bits = std::bit_width(span);
  h.width = static_cast<uint8_t>(o.layout == Layout::bitPacked ? bits : (bits + 7) / 8);
  return h;
}

void writePacked(const Header& planned, const uint8_t* values, uint8_t* out) {
  writeCommonHeader(planned, out);
  out[kWidthAt] = planned.width;
  storeLE(out + kReferenceAt, planned.reference, 8);
  storeLE(out + kFirstAt, planned.first, 8);
  packPayload(loopsFor(planned.type), planned, values, out + kHeaderSize);
}

const LayoutCodec kBitPackedLayout{Layout::bitPacked, 1, &takesOneTransform, &maxPackedFrameSize, &packedFrameSize,
                                   &readPackedHeader,
                                   &encodePacked, &decodePackedRange, &packedBlocks, &packedBlock};
const LayoutCodec kWholeByteLayout{Layout::wholeByte, 1, &takesOneTransform, &maxPackedFrameSize, &packedFrameSize,
                                   &readPackedHeader,
                                   &encodePacked, &decodePackedRange, &packedBlocks, &packedBlock};

}  // namespace vaskor::frame::detail
