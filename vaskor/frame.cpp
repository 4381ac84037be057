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

#include "vaskor/bit_head.hpp"
#include "vaskor/frame_header.hpp"
#include "vaskor/frame_transform.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/room.hpp"

namespace vaskor::frame {

namespace {

using vaskor::detail::kBlockFields;

// Whole blocks, few enough to stay in the first-level cache with what they
// pack into. (Same chunk as the bit-packed encoder's.)
constexpr size_t kChunkValues = 32 * kBlockFields;

template <class F>
decltype(auto) withType(ElementType type, F&& f) {
  switch (type) {
    case ElementType::int8: return f(int8_t{});
    case ElementType::int16: return f(int16_t{});
    case ElementType::int32: return f(int32_t{});
    case ElementType::int64: return f(int64_t{});
    case ElementType::uint8: return f(uint8_t{});
    case ElementType::uint16: return f(uint16_t{});
    case ElementType::uint32: return f(uint32_t{});
    case ElementType::uint64: return f(uint64_t{});
  }
  check(false, "frame element type checked before use");
  __builtin_unreachable();
}

// The header for `n` items at `v`: reference and first from one pass over
// the values, the width the smallest that holds every packed value.
template <class T>
Header plan(const uint8_t* v, uint64_t n, Options o) {
  using U = std::make_unsigned_t<T>;
  using S = std::make_signed_t<T>;
  Header h{kVersion, o.layout, elementTypeOf<T>(), o.transform, 0, n, 0, 0};
  U span = 0;  // the largest packed value
  if (o.transform == Transform::delta) {
    if (n >= 1) h.first = detail::extend(detail::load<T>(v, 0));
    if (n >= 2) {
      const detail::Range<S> r = detail::Transform<T>::differenceRange(v, n);
      h.reference = detail::extend(r.lo);
      span = static_cast<U>(static_cast<U>(r.hi) - static_cast<U>(r.lo));
    }
  } else if (n >= 1) {
    const detail::Range<T> r = detail::rangeOf<T>(v, n);
    h.reference = detail::extend(r.lo);
    span = static_cast<U>(static_cast<U>(r.hi) - static_cast<U>(r.lo));
  }
  const int bits = std::bit_width(static_cast<uint64_t>(span));
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

template <class T>
void packPayload(const Header& h, const uint8_t* v, uint8_t* out) {
  const uint64_t m = h.packedCount();
  const int w = h.width;
  if (w == 0) return;
  const detail::Transform<T> t{h.transform == Transform::delta, static_cast<std::make_unsigned_t<T>>(h.reference), 0};
  const vaskor::detail::Kernels& k = vaskor::detail::kernels();
  alignas(64) int64_t stage[kChunkValues];
  if (h.layout == Layout::wholeByte) {
    for (size_t from = 0; from < m; from += kChunkValues) {
      const size_t n = std::min<size_t>(kChunkValues, m - from);
      t.fill(v, from, n, stage);
      k.packWhole(w, stage, out + from * static_cast<size_t>(w), n);
    }
    return;
  }
  const Blocks b(m, w);
  if (b.head > 0) {
    t.fill(v, 0, b.head, stage);
    bpe::packHead(stage, b.head, w, out, b.headBytes);
  }
  for (size_t from = b.head; from < m; from += kChunkValues) {
    const size_t n = std::min<size_t>(kChunkValues, m - from);
    t.fill(v, from, n, stage);
    k.packBlocks[w](stage, out + b.at(from), n / kBlockFields);
  }
}

template <class T>
void unpackPayload(const Header& h, const uint8_t* payload, uint8_t* out) {
  using U = std::make_unsigned_t<T>;
  const uint64_t m = h.packedCount();
  const int w = h.width;
  detail::Transform<T> t{h.transform == Transform::delta, static_cast<U>(h.reference), static_cast<U>(h.first)};
  if (t.delta && h.count > 0) detail::store<T>(out, 0, static_cast<T>(t.previous));
  const vaskor::detail::Kernels& k = vaskor::detail::kernels();
  alignas(64) int64_t stage[kChunkValues];
  if (w == 0) {
    // Every packed value is 0.
    std::fill(stage, stage + kChunkValues, 0);
    for (size_t from = 0; from < m; from += kChunkValues) t.drain(stage, from, std::min<size_t>(kChunkValues, m - from), out);
    return;
  }
  if (h.layout == Layout::wholeByte) {
    for (size_t from = 0; from < m; from += kChunkValues) {
      const size_t n = std::min<size_t>(kChunkValues, m - from);
      k.unpackWhole(w, payload + from * static_cast<size_t>(w), n * static_cast<size_t>(w), stage);
      t.drain(stage, from, n, out);
    }
    return;
  }
  const Blocks b(m, w);
  if (b.head > 0) {
    bpe::unpackHead(payload, b.headBytes, b.head, w, stage);
    t.drain(stage, 0, b.head, out);
  }
  for (size_t from = b.head; from < m; from += kChunkValues) {
    const size_t n = std::min<size_t>(kChunkValues, m - from);
    k.unpackBlocks[w](payload + b.at(from), stage, n / kBlockFields);
    t.drain(stage, from, n, out);
  }
}

Header planFor(ElementType type, const void* values, uint64_t count, Options options) {
  detail::checkChoice(type, options);
  return withType(type, [&](auto x) { return plan<decltype(x)>(static_cast<const uint8_t*>(values), count, options); });
}

void write(const Header& h, const void* values, uint8_t* out) {
  detail::writeHeader(h, out);
  withType(h.type, [&](auto x) { packPayload<decltype(x)>(h, static_cast<const uint8_t*>(values), out + kHeaderSize); });
}

}  // namespace

uint64_t encodeInto(ElementType type, const void* values, uint64_t count, Options options, std::span<uint8_t> out) {
  const Header h = planFor(type, values, count, options);
  const uint64_t size = h.frameSize();
  vaskor::detail::requireRoom(size, out.size(), "bytes");
  write(h, values, out.data());
  return size;
}

std::vector<uint8_t> encode(ElementType type, const void* values, uint64_t count, Options options) {
  const Header h = planFor(type, values, count, options);
  std::vector<uint8_t> out(h.frameSize());
  write(h, values, out.data());
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
  withType(h.type, [&](auto x) { unpackPayload<decltype(x)>(h, payload, static_cast<uint8_t*>(out)); });
  return h.count;
}

}  // namespace vaskor::frame
