// Frames: values of any integer type, transformed to non-negative ones and
// packed in the bit-packed or whole-byte format behind a 40-byte header.
// The values pass through a stage of a few thousand 64-bit fields in the
// first-level cache: the transform fills it, the codecs' own kernels pack
// it (and the reverse on decoding), so the input leaves memory once for
// its range and once to be packed.
#include "vaskor/frame.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "detail/bit_head.hpp"
#include "detail/frame_header.hpp"
#include "detail/frame_loops.hpp"
#include "detail/kernels.hpp"
#include "detail/room.hpp"

namespace vaskor::frame {

namespace {

using vaskor::detail::kBlockFields;

// Whole blocks, few enough to stay in the first-level cache with what they
// pack into. (Same chunk as the bit-packed encoder's.)
constexpr size_t kChunkValues = 32 * kBlockFields;

// The header for `n` items at `v`: reference and first from one pass over
// the values, the width the smallest that holds every packed value.
Header plan(const detail::TypeLoops& loops, ElementType type, const uint8_t* v, uint64_t n, Options o) {
  Header h{kVersion, o.layout, type, o.transform, 0, n, 0, 0};
  const size_t size = itemSize(type);
  detail::Range64 r{0, 0};
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

// The packed values of a bit-packed payload: the n % 64 of the head first,
// after the padding, then whole blocks.
struct Blocks {
  size_t head;
  size_t headBytes;
  size_t blockBytes;

  Blocks(uint64_t count, int width)
      : head(count % kBlockFields),
        headBytes((head * static_cast<size_t>(width) + 7) / 8),
        blockBytes(8 * static_cast<size_t>(width)) {}
  // Where the block holding packed value `from` (past the head) starts.
  size_t at(size_t from) const { return headBytes + (from - head) / kBlockFields * blockBytes; }
};

void packPayload(const detail::TypeLoops& loops, const Header& h, const uint8_t* v, uint8_t* out) {
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
  const Blocks b(m, w);
  if (b.head > 0) {
    fill(v, h.reference, 0, b.head, stage);
    bpe::packHead(stage, b.head, w, out, b.headBytes);
  }
  for (size_t from = b.head; from < m; from += kChunkValues) {
    const size_t n = std::min<size_t>(kChunkValues, m - from);
    fill(v, h.reference, from, n, stage);
    k.packBlocks[w](stage, out + b.at(from), n / kBlockFields);
  }
}

// Hands the stage's packed values [from, from + n) back as items.
class Drain {
 public:
  Drain(const detail::TypeLoops& loops, const Header& h, uint8_t* out)
      : loops_(loops), delta_(h.transform == Transform::delta), reference_(h.reference), previous_(h.first), out_(out) {
    if (delta_ && h.count > 0) {
      const int64_t zero = 0;
      loops_.forDrain(&zero, h.first, 0, 1, out_);
    }
  }
  void operator()(const int64_t* stage, size_t from, size_t n) {
    if (delta_)
      previous_ = loops_.deltaDrain(stage, reference_, previous_, from, n, out_);
    else
      loops_.forDrain(stage, reference_, from, n, out_);
  }

 private:
  const detail::TypeLoops& loops_;
  bool delta_;
  uint64_t reference_, previous_;
  uint8_t* out_;
};

void unpackPayload(const detail::TypeLoops& loops, const Header& h, const uint8_t* payload, uint8_t* out) {
  const uint64_t m = h.packedCount();
  const int w = h.width;
  Drain drain(loops, h, out);
  const vaskor::detail::Kernels& k = vaskor::detail::kernels();
  alignas(64) int64_t stage[kChunkValues];
  if (w == 0) {
    // Every packed value is 0.
    std::fill(stage, stage + kChunkValues, 0);
    for (size_t from = 0; from < m; from += kChunkValues) drain(stage, from, std::min<size_t>(kChunkValues, m - from));
    return;
  }
  if (h.layout == Layout::wholeByte) {
    for (size_t from = 0; from < m; from += kChunkValues) {
      const size_t n = std::min<size_t>(kChunkValues, m - from);
      k.unpackWhole(w, payload + from * static_cast<size_t>(w), n * static_cast<size_t>(w), stage);
      drain(stage, from, n);
    }
    return;
  }
  const Blocks b(m, w);
  if (b.head > 0) {
    bpe::unpackHead(payload, b.headBytes, b.head, w, stage);
    drain(stage, 0, b.head);
  }
  for (size_t from = b.head; from < m; from += kChunkValues) {
    const size_t n = std::min<size_t>(kChunkValues, m - from);
    k.unpackBlocks[w](payload + b.at(from), stage, n / kBlockFields);
    drain(stage, from, n);
  }
}

const detail::TypeLoops& loopsFor(ElementType type) { return detail::frameLoops()[detail::typeIndex(type)]; }

}  // namespace

Header plan(ElementType type, const void* values, uint64_t count, Options options) {
  detail::checkChoice(type, options);
  return plan(loopsFor(type), type, static_cast<const uint8_t*>(values), count, options);
}

void writeInto(const Header& planned, const void* values, uint8_t* out) {
  detail::writeHeader(planned, out);
  packPayload(loopsFor(planned.type), planned, static_cast<const uint8_t*>(values), out + kHeaderSize);
}

uint64_t encodeInto(ElementType type, const void* values, uint64_t count, Options options, std::span<uint8_t> out) {
  const Header h = plan(type, values, count, options);
  const uint64_t size = h.frameSize();
  vaskor::detail::requireRoom(size, out.size(), "bytes");
  writeInto(h, values, out.data());
  return size;
}

std::vector<uint8_t> encode(ElementType type, const void* values, uint64_t count, Options options) {
  const Header h = plan(type, values, count, options);
  std::vector<uint8_t> out(h.frameSize());
  writeInto(h, values, out.data());
  return out;
}

uint64_t decodeInto(std::span<const uint8_t> frame, void* out, uint64_t outBytes) {
  const Header h = readHeader(frame);
  const uint8_t* payload = frame.data() + kHeaderSize;
  if (h.layout == Layout::bitPacked && h.width > 0) {
    // The padding is what the payload's bytes hold beyond the fields.
    const uint64_t pad = (8 - h.packedCount() % 8 * h.width % 8) % 8;
    if (pad > 0 && (payload[0] >> (8 - pad)) != 0) raise<FrameError>("frame padding bits are not zero");
  }
  vaskor::detail::requireRoom(h.count * itemSize(h.type), outBytes, "bytes");
  unpackPayload(loopsFor(h.type), h, payload, static_cast<uint8_t*>(out));
  return h.count;
}

}  // namespace vaskor::frame
