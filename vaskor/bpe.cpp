#include "vaskor/bpe.hpp"

#include <algorithm>
#include <utility>

#include "vaskor/failure.hpp"
#include "detail/bit_head.hpp"
#include "detail/bit_stream.hpp"
#include "detail/checked_size.hpp"
#include "detail/kernels.hpp"
#include "detail/value_out.hpp"
#include "detail/room.hpp"
#include "vaskor/utils.hpp"
#include "detail/width_byte.hpp"
#include "detail/width_choice.hpp"

namespace vaskor::bpe {

namespace {

using detail::kBlockFields;
using detail::kMaxBlockWidth;
using detail::u128;

// binLen gives at most 64 digits, so no input needs a wider field.
constexpr uint64_t kWidestField = 65;

// Values checked per step while packing under a guessed width: whole blocks,
// few enough that they stay in the first-level cache between the check and
// the pack. (Measured: 32 blocks encode fastest.)
constexpr size_t kChunkValues = 32 * kBlockFields;
// Values handed to a sink per step, from a buffer that stays in the
// first-level cache. (Measured: 16 blocks decode fastest.)
constexpr size_t kSinkChunkValues = 16 * kBlockFields;

int widthFor(int64_t largest) { return static_cast<int>(binLen(largest) + 1); }

// Scratch for one block passing through a kernel: the kernels may touch a
// few bytes past a block, never past this.
constexpr size_t kBlockScratchBytes = 8 * kMaxBlockWidth + 64;
// Heads of at least this many groups decode through a block kernel; fewer
// are cheaper read one by one.
constexpr uint64_t kKernelHeadFrom = 8;

}  // namespace

// The first fields of a stream (fewer than a block) with the zero padding in
// front of them; `bytes` is the whole head, padding included.
void packHead(const int64_t* in, size_t fields, int w, uint8_t* out, size_t bytes) {
  if (fields == 0) return;
  if (bytes <= 8 && w < 64) {
    // The whole head in one word (short calls): padding is its top bits.
    uint64_t acc = 0;
    for (size_t k = 0; k < fields; ++k)
      acc = (acc << w) | (static_cast<uint64_t>(in[k]) & ((uint64_t{1} << w) - 1));
    for (size_t k = 0; k < bytes; ++k) out[k] = static_cast<uint8_t>(acc >> (8 * (bytes - 1 - k)));
    return;
  }
  // A block of zero fields ending with the head ends with exactly the head's
  // bytes, its padding included: one kernel call instead of a bit stream.
  alignas(64) int64_t fields64[kBlockFields] = {};
  std::copy(in, in + fields, fields64 + kBlockFields - fields);
  alignas(64) uint8_t block[kBlockScratchBytes];
  detail::kernels().packBlocks[w](fields64, block, 1);
  std::copy(block + 8 * static_cast<size_t>(w) - bytes, block + 8 * static_cast<size_t>(w), out);
}

// The reverse: the `fields` groups of w bits that end `bytes` bytes from
// `in` (whatever comes before them in those bytes is no group's).
void unpackHead(const uint8_t* in, size_t bytes, size_t fields, int w, int64_t* out) {
  alignas(64) uint8_t block[kBlockScratchBytes] = {};
  std::copy(in, in + bytes, block + 8 * static_cast<size_t>(w) - bytes);
  alignas(64) int64_t fields64[kBlockFields];
  detail::kernels().unpackBlocks[w](block, fields64, 1);
  std::copy(fields64 + kBlockFields - fields, fields64 + kBlockFields, out);
}

namespace {

// Packs the values [from, to) of n with fields of w bits at their places in
// the packedSize(n, w) bytes at `out` and returns `to`; with `verify`,
// returns instead the start of the first chunk whose largest value needs a
// wider field (that chunk's bytes are then of no use). `from` is 0 or a
// chunk start, and so is `to` unless it is n.
size_t packTo(const int64_t* in, size_t n, int w, size_t from, size_t to, bool verify, uint8_t* out) {
  // The stream ends on a byte boundary and whole blocks are whole bytes, so
  // the blocks are the last n / 64 fields and the padding goes with the
  // head, which chunks start after. (It lies inside the first chunk, which a
  // guessed width came from.)
  const size_t head = n % kBlockFields;
  const size_t headBytes = (head * static_cast<size_t>(w) + 7) / 8;
  if (from == 0) {
    packHead(in, head, w, out, headBytes);
    from = head;
  }
  out += headBytes;
  const size_t blockBytes = 8 * static_cast<size_t>(w);
  const detail::Kernels& k = detail::kernels();
  if (!verify) {
    if (to > from)
      k.packBlocks[w](in + from, out + (from - head) / kBlockFields * blockBytes, (to - from) / kBlockFields);
    return to;
  }
  for (size_t i = from; i < to; i += kChunkValues) {
    const size_t blocks = std::min(kChunkValues, to - i) / kBlockFields;
    uint8_t* at = out + (i - head) / kBlockFields * blockBytes;
    if (k.packBlocksLargest[w] != nullptr) {
      // The kernel gives the chunk's largest value as it packs.
      if (widthFor(k.packBlocksLargest[w](in + i, at, blocks)) > w) return i;
    } else {
      if (widthFor(k.maxFromZero(in + i, blocks * kBlockFields)) > w) return i;
      k.packBlocks[w](in + i, at, blocks);
    }
  }
  return to;
}

// Where the groups of a checked decode lie.
struct Groups {
  const uint8_t* p;
  size_t size;     // bytes after any width byte
  uint64_t width;  // bits per group
  uint64_t count;
  uint64_t cut;  // leading bits that belong to no group
};

// Everything decode checks, raised before any value is made.
Groups locate(std::span<const uint8_t> i, int64_t l) {
  Groups g{i.data(), i.size(), 0, 0, 0};
  detail::takeWidthByte(g.p, g.size, l);
  if (g.size == 0) return g;
  if (l == 0) raise<ValueError>("bit width must be positive, got 0");

  const u128 totalBits = static_cast<u128>(g.size) * 8;
  if (l < 0) {
    // The front cut keeps a whole number of |l| bits; any bit left means a
    // group is read, and an empty group can never match a negative width.
    const u128 magnitude = static_cast<u128>(-(l + 1)) + 1;
    check(totalBits < magnitude, "bpe(76, 18) `item.parseBin(iitem) == rl` ");
    return g;
  }
  g.width = static_cast<uint64_t>(l);
  g.count = detail::checkedCount(totalBits / g.width, 8);
  // With a group to read the input's bit count fits 64 bits.
  if (g.count != 0) g.cut = static_cast<uint64_t>(totalBits % g.width);
  return g;
}

// Unpacks every group in order, piece by piece: `out.at()` is where the next
// piece goes, at most `out.room` values; `out.put(n)` takes the n values
// just written and returns false to stop.
template <class Out>
bool unpackTo(const Groups& g, Out& out) {
  if (g.width > static_cast<uint64_t>(kMaxBlockWidth)) {
    for (uint64_t k = 0; k < g.count;) {
      const uint64_t end = std::min<uint64_t>(g.count, k + out.room);
      detail::kernels().unpackWideGroups(g.p, g.cut + k * g.width, g.width, out.at(), end - k);
      if (!out.put(end - k)) return false;
      k = end;
    }
    return true;
  }
  // Groups end at the end of the data: the last count / 64 of them form
  // whole blocks, the rest come first, right after the cut.
  const uint64_t head = g.count % kBlockFields;
  if (head > 0) {
    int64_t* to = out.at();
    if (head < kKernelHeadFrom) {
      for (uint64_t k = 0; k < head; ++k) to[k] = static_cast<int64_t>(detail::readGroup(g.p, g.cut + k * g.width, g.width));
    } else {
      unpackHead(g.p, (g.cut + head * g.width) / 8, head, static_cast<int>(g.width), to);
    }
    if (!out.put(head)) return false;
  }
  const uint64_t blocks = g.count / kBlockFields;
  const uint64_t blockBytes = 8 * g.width;
  const uint8_t* from = g.p + g.size - blocks * blockBytes;
  const uint64_t step = out.room / kBlockFields;
  for (uint64_t b = 0; b < blocks; b += step) {
    const uint64_t k = std::min<uint64_t>(step, blocks - b);
    detail::kernels().unpackBlocks[g.width](from + b * blockBytes, out.at(), k);
    if (!out.put(k * kBlockFields)) return false;
  }
  return true;
}

}  // namespace

uint64_t maxPackedSize(uint64_t n) { return packedSize(n, kWidestField); }

uint64_t encodeInto(std::span<const int64_t> s, std::span<uint8_t> out, int64_t& width) {
  const size_t n = s.size();
  if (n == 0) {
    width = widthFor(0);
    return 0;
  }
  int w;
  if (static_cast<u128>(out.size()) * 8 >= static_cast<u128>(n) * kWidestField) {
    // Room for any width: a long input may be packed under a guess first.
    w = detail::packWithWidth(s.data(), n, kChunkValues, detail::kExactWidthLimit, widthFor,
                              [&](int guess, size_t from, size_t to, bool verify) {
                                return packTo(s.data(), n, guess, from, to, verify, out.data());
                              });
  } else {
    w = widthFor(detail::kernels().maxFromZero(s.data(), n));
    detail::requireRoom(packedSize(n, w), out.size(), "bytes");
    packTo(s.data(), n, w, 0, n, false, out.data());
  }
  width = w;
  return packedSize(n, w);
}

std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
  // As encodeInto with room for any width, but the vector only ever grows
  // to the packed size of the width being tried.
  std::vector<uint8_t> out;
  int64_t width = widthFor(0);
  if (!s.empty())
    width = detail::packWithWidth(s.data(), s.size(), kChunkValues, detail::kExactWidthLimit, widthFor,
                                  [&](int guess, size_t from, size_t to, bool verify) {
                                    out.resize(packedSize(s.size(), guess));
                                    return packTo(s.data(), s.size(), guess, from, to, verify, out.data());
                                  });
  lo = width;
  return out;
}

int64_t widthOf(int64_t largest) { return widthFor(largest); }

int64_t widthOf(std::span<const int64_t> s) {
  return widthFor(s.empty() ? 0 : detail::kernels().maxFromZero(s.data(), s.size()));
}

uint64_t packedSize(uint64_t n, int64_t width) {
  return detail::checkedCount((static_cast<u128>(n) * static_cast<uint64_t>(width) + 7) / 8, 1);
}

void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out) {
  packTo(s.data(), s.size(), static_cast<int>(width), 0, s.size(), false, out);
}

uint64_t decodedCount(std::span<const uint8_t> i, int64_t l) { return locate(i, l).count; }

uint64_t decodeInto(std::span<const uint8_t> i, int64_t l, std::span<int64_t> out) {
  const Groups g = locate(i, l);
  detail::requireRoom(g.count, out.size(), "values");
  detail::SpanOut<UINT64_MAX / 2> to{out.data()};
  unpackTo(g, to);
  return g.count;
}

bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink) {
  const Groups g = locate(i, l);
  if (!sink.start(g.count)) return false;
  alignas(64) int64_t stage[kSinkChunkValues];
  detail::SinkOut<kSinkChunkValues> to{sink, stage};
  return unpackTo(g, to);
}

std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) {
  std::vector<int64_t> out;
  detail::VectorSink sink(out);
  decodeInto(i, l, sink);
  return out;
}

}  // namespace vaskor::bpe
