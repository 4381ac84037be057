#include "vaskor/ne.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "runtime/failure.hpp"
#include "vaskor/byte_order.hpp"
#include "vaskor/checked_size.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/staged_output.hpp"
#include "vaskor/vector_sink.hpp"
#include "vaskor/utils.hpp"
#include "vaskor/width_choice.hpp"
#include "vaskor/width_byte.hpp"

namespace vaskor::ne {

namespace {

// Values handled per step, few enough to stay in the first-level cache.
constexpr size_t kChunkValues = 2048;
using ByteStage = detail::StagedOutput<uint8_t, kChunkValues * 8>;

// ceil(binLen * 0.125) is exact in doubles, so whole-number division does.
int widthFor(int64_t largest) { return static_cast<int>((binLen(largest) + 7) / 8); }

// Packs all n values into nb bytes each and returns n; with `verify`,
// returns instead the start of the first chunk whose largest value needs
// more bytes, leaving `out` alone.
size_t packAll(const int64_t* in, size_t n, int nb, bool verify, std::vector<uint8_t>& out) {
  const uint64_t bytes = detail::checkedCount(static_cast<detail::u128>(n) * nb, 1);
  ByteStage stage(bytes);
  for (size_t i = 0; i < n; i += kChunkValues) {
    const size_t count = std::min(kChunkValues, n - i);
    if (verify && detail::kernels().packWholeLargest != nullptr) {
      // The chunk's largest value comes with the pack (unused if too wide).
      if (widthFor(detail::kernels().packWholeLargest(nb, in + i, stage.stage(), count)) > nb) return i;
    } else {
      if (verify && widthFor(detail::kernels().maxFromZero(in + i, count)) > nb) return i;
      detail::kernels().packWhole(nb, in + i, stage.stage(), count);
    }
    stage.commit(count * static_cast<size_t>(nb));
  }
  out = stage.take();
  return n;
}

}  // namespace

std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
  if (s.empty()) {
    lo = 1;
    return {};
  }
  std::vector<uint8_t> out;
  // Each chunk's largest value is taken just before the chunk is packed,
  // while it is in cache, so the input is read from memory once.
  const int nb = detail::packWithWidth(
      s.data(), s.size(), kChunkValues, widthFor,
      [&](int width, bool verify) { return packAll(s.data(), s.size(), width, verify, out); },
      [](int) { return true; });
  lo = nb;
  return out;
}

int64_t widthOf(int64_t largest) { return widthFor(largest); }

uint64_t packedSize(uint64_t n, int64_t width) {
  return detail::checkedCount(static_cast<detail::u128>(n) * static_cast<uint64_t>(width), 1);
}

void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out) {
  detail::kernels().packWhole(static_cast<int>(width), s.data(), out, s.size());
}

bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink) {
  const uint8_t* p = i.data();
  size_t size = i.size();
  detail::takeWidthByte(p, size, l);
  if (size == 0) return sink.start(0);
  if (l <= 0) raise<ValueError>("byte width must be positive, got " + std::to_string(l));

  const uint64_t width = static_cast<uint64_t>(l);
  const uint64_t count = detail::checkedCount(size / width + (size % width != 0), 8);
  if (!sink.start(count)) return false;
  // Values are unpacked into a buffer that stays in the first-level cache
  // and handed over from there.
  alignas(64) int64_t stage[kChunkValues];
  for (uint64_t g = 0; g < count;) {
    const uint64_t end = std::min<uint64_t>(count, g + kChunkValues);
    const uint64_t from = g * width;
    if (width <= 8) {
      // The chunk's bytes; only the last chunk can end in a short group.
      const uint64_t bytes = std::min<uint64_t>(size - from, (end - g) * width);
      detail::kernels().unpackWhole(static_cast<int>(width), p + from, bytes, stage);
    } else {
      // Only the last 8 bytes of a wide group count; a short last group is
      // read from the bytes it has.
      int64_t* out = stage;
      for (uint64_t k = g; k < end; ++k) {
        const uint64_t at = k * width;
        const uint64_t left = size - at;
        *out++ = static_cast<int64_t>(left >= width ? detail::loadBE64(p + at + width - 8)
                                                    : detail::loadBETail(p + at, left));
      }
    }
    if (!sink.take(stage, end - g)) return false;
    g = end;
  }
  return true;
}

std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) {
  detail::VectorSink sink;
  decodeInto(i, l, sink);
  return std::move(sink.values);
}

}  // namespace vaskor::ne
