#include "vaskor/ne.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "detail/byte_order.hpp"
#include "detail/checked_size.hpp"
#include "detail/codec_body.hpp"
#include "detail/kernels.hpp"
#include "vaskor/failure.hpp"
#include "vaskor/utils.hpp"

namespace vaskor::ne {

namespace {

using detail::Groups;
using detail::kMaxWholeWidth;
using detail::u128;

// Values handled per step, few enough to stay in the first-level cache.
constexpr size_t kChunkValues = 2048;

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

// The format as the codec body (codec_body.hpp) takes it.
struct WholeBytes {
  static int widthFor(int64_t largest) { return ne::widthFor(largest); }
  static int emptyWidth() { return 1; }
  static u128 bytesFor(u128 n, uint64_t width) { return n * width; }
  static constexpr uint64_t kWidest = kMaxWholeWidth;
  static constexpr size_t kChunkValues = ne::kChunkValues;
  // The width changes only where the largest value crosses a byte, so the
  // first chunk's width nearly always holds, and a scan up front would only
  // add its cost.
  static constexpr size_t kScanFirstUpTo = detail::kNeverScanFirst;
  static constexpr size_t kSinkChunkValues = kChunkValues;
  static constexpr uint64_t kSpanRoom = UINT64_MAX / 16;

  static size_t pack(const int64_t* in, size_t, int nb, size_t from, size_t to, bool verify, uint8_t* out) {
    return packTo(in, nb, from, to, verify, out);
  }

  static void place(Groups& g, int64_t l) {
    if (l <= 0) raise<ValueError>("byte width must be positive, got " + std::to_string(l));
    g.width = static_cast<uint64_t>(l);
    g.count = detail::checkedCount(g.size / g.width + (g.size % g.width != 0), 8);
  }

  static uint64_t pieceEnd(const Groups& g, uint64_t k, uint64_t room) { return std::min<uint64_t>(g.count, k + room); }

  static void unpackPiece(const Groups& g, uint64_t k, uint64_t end, int64_t* to) {
    const uint64_t from = k * g.width;
    if (g.width <= static_cast<uint64_t>(kMaxWholeWidth)) {
      // The piece's bytes; only the last piece can end in a short group.
      const uint64_t bytes = std::min<uint64_t>(g.size - from, (end - k) * g.width);
      detail::kernels().unpackWhole(static_cast<int>(g.width), g.p + from, bytes, to);
      return;
    }
    // Only the last 8 bytes of a wide group count; a short last group is
    // read from the bytes it has.
    for (uint64_t j = k; j < end; ++j) {
      const uint64_t at = j * g.width;
      const uint64_t left = g.size - at;
      *to++ = static_cast<int64_t>(left >= g.width ? detail::loadBE64(g.p + at + g.width - 8)
                                                   : detail::loadBETail(g.p + at, left));
    }
  }
};

}  // namespace

VASKOR_CODEC_FUNCTIONS(WholeBytes)

}  // namespace vaskor::ne
