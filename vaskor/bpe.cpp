#include "vaskor/bpe.hpp"

#include <algorithm>
#include <utility>

#include "detail/bit_stream.hpp"
#include "detail/checked_size.hpp"
#include "detail/codec_body.hpp"
#include "detail/kernels.hpp"
#include "vaskor/failure.hpp"
#include "vaskor/utils.hpp"

namespace vaskor::bpe {

namespace {

using detail::Groups;
using detail::kBlockFields;
using detail::kMaxBlockWidth;
using detail::u128;

// Values checked per step while packing under a guessed width: whole blocks,
// few enough that they stay in the first-level cache between the check and
// the pack. (Measured: 32 blocks encode fastest.)
constexpr size_t kChunkValues = 32 * kBlockFields;

int widthFor(int64_t largest) { return static_cast<int>(binLen(largest) + 1); }

// Heads of at least this many groups decode through a block kernel; fewer
// are cheaper read one by one.
constexpr uint64_t kKernelHeadFrom = 8;

}  // namespace

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
  const detail::BitStream stream{n, w};
  const size_t head = stream.head();
  const size_t headBytes = stream.headBytes();
  if (from == 0) {
    detail::packHead(in, head, w, out, headBytes);
    from = head;
  }
  if (from >= to) return to;  // the head was all (short calls)
  out += headBytes;
  const size_t blockBytes = stream.blockBytes();
  const detail::Kernels& k = detail::kernels();
  if (!verify) {
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

// The format as the codec body (codec_body.hpp) takes it.
struct BitFields {
  static int widthFor(int64_t largest) { return bpe::widthFor(largest); }
  static int emptyWidth() { return widthFor(0); }
  static u128 bytesFor(u128 n, uint64_t width) { return (n * width + 7) / 8; }
  // binLen gives at most 64 digits, so no input needs a wider field.
  static constexpr uint64_t kWidest = 65;
  static constexpr size_t kChunkValues = bpe::kChunkValues;
  static constexpr size_t kScanFirstUpTo = detail::kExactWidthLimit;
  // Values handed to a sink per step, from a buffer that stays in the
  // first-level cache. (Measured: 16 blocks decode fastest.)
  static constexpr size_t kSinkChunkValues = 16 * kBlockFields;
  static constexpr uint64_t kSpanRoom = UINT64_MAX / 2;

  static size_t pack(const int64_t* in, size_t n, int w, size_t from, size_t to, bool verify, uint8_t* out) {
    // An input shorter than a block is all head (short calls).
    if (n < kBlockFields && from == 0) {
      detail::packHead(in, n, w, out, detail::streamBytes(n, w));
      return to;
    }
    return packTo(in, n, w, from, to, verify, out);
  }

  static void place(Groups& g, int64_t l) {
    if (l == 0) raise<ValueError>("bit width must be positive, got 0");
    const u128 totalBits = static_cast<u128>(g.size) * 8;
    if (l < 0) {
      // The front cut keeps a whole number of |l| bits; any bit left means a
      // group is read, and an empty group can never match a negative width.
      const u128 magnitude = static_cast<u128>(-(l + 1)) + 1;
      check(totalBits < magnitude, "bpe(76, 18) `item.parseBin(iitem) == rl` ");
      return;
    }
    g.width = static_cast<uint64_t>(l);
    if (g.size <= UINT64_MAX / 8) {
      // The bit count of any input memory holds fits 64 bits, whose
      // division costs a fraction of the 128-bit one (short calls).
      const uint64_t bits = g.size * 8;
      g.count = detail::checkedCount(bits / g.width, 8);
      if (g.count != 0) g.cut = bits % g.width;
      return;
    }
    g.count = detail::checkedCount(totalBits / g.width, 8);
    // With a group to read the input's bit count fits 64 bits.
    if (g.count != 0) g.cut = static_cast<uint64_t>(totalBits % g.width);
  }

  // Groups end at the end of the data: the last count / 64 of them form
  // whole blocks, the rest (the head) come first, right after the cut, as
  // a piece of their own. Groups too wide for a block kernel go in pieces
  // of any size.
  static bool wide(const Groups& g) { return g.width > static_cast<uint64_t>(kMaxBlockWidth); }

  static uint64_t pieceEnd(const Groups& g, uint64_t k, uint64_t room) {
    if (wide(g)) return std::min<uint64_t>(g.count, k + room);
    const uint64_t head = g.count % kBlockFields;
    if (k < head) return head;
    return k + std::min<uint64_t>(room / kBlockFields * kBlockFields, g.count - k);
  }

  static void unpackPiece(const Groups& g, uint64_t k, uint64_t end, int64_t* to) {
    if (wide(g)) {
      detail::kernels().unpackWideGroups(g.p, g.cut + k * g.width, g.width, to, end - k);
      return;
    }
    if (k < g.count % kBlockFields) {
      const uint64_t head = end;
      const uint64_t bytes = (g.cut + head * g.width) / 8;
      if (bytes <= 8) {
        // The whole head in one word (short calls): the cut is its top bits.
        uint64_t acc = 0;
        for (uint64_t j = 0; j < bytes; ++j) acc = (acc << 8) | g.p[j];
        const uint64_t mask = g.width < 64 ? (uint64_t{1} << g.width) - 1 : ~uint64_t{0};
        for (uint64_t j = 0; j < head; ++j) to[j] = static_cast<int64_t>((acc >> ((head - 1 - j) * g.width)) & mask);
      } else if (head < kKernelHeadFrom) {
        for (uint64_t j = 0; j < head; ++j)
          to[j] = static_cast<int64_t>(detail::readGroup(g.p, g.cut + j * g.width, g.width));
      } else {
        detail::unpackHead(g.p, bytes, head, static_cast<int>(g.width), to);
      }
      return;
    }
    const uint64_t blockBytes = 8 * g.width;
    const uint8_t* from = g.p + g.size - (g.count - k) / kBlockFields * blockBytes;
    detail::kernels().unpackBlocks[g.width](from, to, (end - k) / kBlockFields);
  }
};

}  // namespace

VASKOR_CODEC_FUNCTIONS(BitFields)

}  // namespace vaskor::bpe
