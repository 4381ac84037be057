#include "vaskor/ne.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "vaskor/failure.hpp"
#include "detail/byte_order.hpp"
#include "detail/checked_size.hpp"
#include "detail/kernels.hpp"
#include "detail/value_out.hpp"
#include "detail/room.hpp"
#include "vaskor/utils.hpp"
#include "detail/width_byte.hpp"
#include "detail/width_choice.hpp"

namespace vaskor::ne {

namespace {

using detail::kMaxWholeWidth;

// Values handled per step, few enough to stay in the first-level cache.
constexpr size_t kChunkValues = 2048;

// The width changes only where the largest value crosses a byte, so the
// first chunk's width nearly always holds, and a scan up front would only
// add its cost: every input is packed under a guess first.
constexpr size_t kGuessFromStart = 0;

// ceil(binLen * 0.125) is exact in doubles, so whole-number division does.
int widthFor(int64_t largest) { return static_cast<int>((binLen(largest) + 7) / 8); }

// Packs the values [from, to) into nb bytes each at their places from `out`
// and returns `to`; with `verify`, returns instead the start of the first
// chunk whose largest value needs more bytes (that chunk's bytes are then of
// no use). `from` is 0 or a chunk start, and so is `to` unless it is n.
size_t packTo(const int64_t* in, int nb, size_t from, size_t to, bool verify, uint8_t* out) {
  const detail::Kernels& k = detail::kernels();
  if (!verify) {
    k.packWhole(nb, in + from, out + from * static_cast<size_t>(nb), to - from);
    return to;
  }
  for (size_t i = from; i < to; i += kChunkValues) {
    const size_t count = std::min(kChunkValues, to - i);
    uint8_t* at = out + i * static_cast<size_t>(nb);
    if (k.packWholeLargest != nullptr) {
      // The chunk's largest value comes with the pack.
      if (widthFor(k.packWholeLargest(nb, in + i, at, count)) > nb) return i;
    } else {
      if (widthFor(k.maxFromZero(in + i, count)) > nb) return i;
      k.packWhole(nb, in + i, at, count);
    }
  }
  return to;
}

// Where the groups of a checked decode lie.
struct Groups {
  const uint8_t* p;
  size_t size;     // bytes after any width byte
  uint64_t width;  // bytes per group
  uint64_t count;
};

// Everything decode checks, raised before any value is made.
Groups locate(std::span<const uint8_t> i, int64_t l) {
  Groups g{i.data(), i.size(), 0, 0};
  detail::takeWidthByte(g.p, g.size, l);
  if (g.size == 0) return g;
  if (l <= 0) raise<ValueError>("byte width must be positive, got " + std::to_string(l));
  g.width = static_cast<uint64_t>(l);
  g.count = detail::checkedCount(g.size / g.width + (g.size % g.width != 0), 8);
  return g;
}

// Unpacks every group in order, piece by piece: `out.at()` is where the next
// piece goes, at most `out.room` values; `out.put(n)` takes the n values
// just written and returns false to stop.
template <class Out>
bool unpackTo(const Groups& g, Out& out) {
  for (uint64_t k = 0; k < g.count;) {
    const uint64_t end = std::min<uint64_t>(g.count, k + out.room);
    const uint64_t from = k * g.width;
    int64_t* to = out.at();
    if (g.width <= static_cast<uint64_t>(kMaxWholeWidth)) {
      // The piece's bytes; only the last piece can end in a short group.
      const uint64_t bytes = std::min<uint64_t>(g.size - from, (end - k) * g.width);
      detail::kernels().unpackWhole(static_cast<int>(g.width), g.p + from, bytes, to);
    } else {
      // Only the last 8 bytes of a wide group count; a short last group is
      // read from the bytes it has.
      for (uint64_t j = k; j < end; ++j) {
        const uint64_t at = j * g.width;
        const uint64_t left = g.size - at;
        *to++ = static_cast<int64_t>(left >= g.width ? detail::loadBE64(g.p + at + g.width - 8)
                                                     : detail::loadBETail(g.p + at, left));
      }
    }
    if (!out.put(end - k)) return false;
    k = end;
  }
  return true;
}

}  // namespace

uint64_t maxPackedSize(uint64_t n) { return packedSize(n, kMaxWholeWidth); }

uint64_t encodeInto(std::span<const int64_t> s, std::span<uint8_t> out, int64_t& width) {
  const size_t n = s.size();
  if (n == 0) {
    width = 1;
    return 0;
  }
  int nb;
  if (static_cast<detail::u128>(out.size()) >= static_cast<detail::u128>(n) * kMaxWholeWidth) {
    // Room for any width: the input is packed under a guess first.
    nb = detail::packWithWidth(s.data(), n, kChunkValues, kGuessFromStart, widthFor,
                               [&](int guess, size_t from, size_t to, bool verify) {
                                 return packTo(s.data(), guess, from, to, verify, out.data());
                               });
  } else {
    nb = widthFor(detail::kernels().maxFromZero(s.data(), n));
    detail::requireRoom(packedSize(n, nb), out.size(), "bytes");
    packTo(s.data(), nb, 0, n, false, out.data());
  }
  width = nb;
  return packedSize(n, nb);
}

std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
  // As encodeInto with room for any width, but the vector only ever grows
  // to the packed size of the width being tried.
  std::vector<uint8_t> out;
  int64_t width = 1;
  if (!s.empty())
    width = detail::packWithWidth(s.data(), s.size(), kChunkValues, kGuessFromStart, widthFor,
                                  [&](int guess, size_t from, size_t to, bool verify) {
                                    out.resize(packedSize(s.size(), guess));
                                    return packTo(s.data(), guess, from, to, verify, out.data());
                                  });
  lo = width;
  return out;
}

int64_t widthOf(int64_t largest) { return widthFor(largest); }

int64_t widthOf(std::span<const int64_t> s) {
  return widthFor(s.empty() ? 0 : detail::kernels().maxFromZero(s.data(), s.size()));
}

uint64_t packedSize(uint64_t n, int64_t width) {
  return detail::checkedCount(static_cast<detail::u128>(n) * static_cast<uint64_t>(width), 1);
}

void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out) {
  packTo(s.data(), static_cast<int>(width), 0, s.size(), false, out);
}

uint64_t decodedCount(std::span<const uint8_t> i, int64_t l) { return locate(i, l).count; }

uint64_t decodeInto(std::span<const uint8_t> i, int64_t l, std::span<int64_t> out) {
  const Groups g = locate(i, l);
  detail::requireRoom(g.count, out.size(), "values");
  detail::SpanOut<UINT64_MAX / 16> to{out.data()};
  unpackTo(g, to);
  return g.count;
}

bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink) {
  const Groups g = locate(i, l);
  if (!sink.start(g.count)) return false;
  alignas(64) int64_t stage[kChunkValues];
  detail::SinkOut<kChunkValues> to{sink, stage};
  return unpackTo(g, to);
}

std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) {
  std::vector<int64_t> out;
  detail::VectorSink sink(out);
  decodeInto(i, l, sink);
  return out;
}

}  // namespace vaskor::ne
