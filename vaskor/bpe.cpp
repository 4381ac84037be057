#include "vaskor/bpe.hpp"

#include <algorithm>
#include <utility>

#include "runtime/failure.hpp"
#include "vaskor/bit_stream.hpp"
#include "vaskor/checked_size.hpp"
#include "vaskor/kernels.hpp"
#include "vaskor/staged_output.hpp"
#include "vaskor/vector_sink.hpp"
#include "vaskor/utils.hpp"
#include "vaskor/width_choice.hpp"
#include "vaskor/width_byte.hpp"

namespace vaskor::bpe {

namespace {

using detail::kBlockFields;
using detail::kMaxBlockWidth;
using detail::u128;

// Values handled per step: whole blocks, and few enough that their packed
// bytes or unpacked values stay in the first-level cache.
// (Measured: 16 blocks decode fastest, 32 encode fastest.)
constexpr size_t kChunkBlocks = 32;
constexpr size_t kChunkValues = kChunkBlocks * kBlockFields;
constexpr size_t kDecodeChunkBlocks = 16;
constexpr size_t kDecodeChunkValues = kDecodeChunkBlocks * kBlockFields;
using ByteStage = detail::StagedOutput<uint8_t, kChunkBlocks * 8 * kMaxBlockWidth>;

void packBlocks(int w, const int64_t* in, uint8_t* out, size_t blocks) {
  detail::kernels().packBlocks[w](in, out, blocks);
}

int widthFor(int64_t largest) { return static_cast<int>(binLen(largest) + 1); }

// Where the row has a packing kernel that reports the largest value, it
// checks the width itself (see packAll).
bool checksWhilePacking(int w) { return detail::kernels().packBlocksLargest[w] != nullptr; }

// The first fields of a stream (fewer than a block) with the zero padding in
// front of them; `bytes` is the whole head, padding included.
void packHead(const int64_t* in, size_t fields, int w, uint8_t* out, size_t bytes) {
  if (bytes <= 8 && w < 64) {
    // The whole head in one word (short calls): padding is its top bits.
    uint64_t acc = 0;
    for (size_t k = 0; k < fields; ++k)
      acc = (acc << w) | (static_cast<uint64_t>(in[k]) & ((uint64_t{1} << w) - 1));
    for (size_t k = 0; k < bytes; ++k) out[k] = static_cast<uint8_t>(acc >> (8 * (bytes - 1 - k)));
    return;
  }
  detail::BitWriter bw(out);
  const int pad = static_cast<int>(bytes * 8 - fields * static_cast<size_t>(w));
  if (pad > 0) bw.put(0, pad);
  for (size_t k = 0; k < fields; ++k) {
    const uint64_t v = static_cast<uint64_t>(in[k]);
    if (w > 64) {
      bw.put(0, w - 64);
      bw.put(v, 64);
    } else {
      bw.put(w == 64 ? v : v & ((uint64_t{1} << w) - 1), w);
    }
  }
}

// Packs all n values with fields of w bits into `out` and returns n; with
// `verify`, returns instead the start of the first chunk whose largest value
// needs a wider field, leaving `out` alone.
size_t packAll(const int64_t* in, size_t n, int w, bool verify, std::vector<uint8_t>& out) {
  const uint64_t bytes = detail::checkedCount((static_cast<u128>(n) * w + 7) / 8, 1);
  ByteStage stage(bytes);
  // The stream ends on a byte boundary and whole blocks are whole bytes, so
  // the blocks are the last n / 64 fields and the padding goes with the head.
  // (The head lies inside the first chunk, which a guessed width came from.)
  const size_t head = n % kBlockFields;
  const size_t headBytes = (head * static_cast<size_t>(w) + 7) / 8;
  packHead(in, head, w, stage.stage(), headBytes);
  stage.commit(headBytes);
  for (size_t i = head; i < n; i += kChunkValues) {
    const size_t count = std::min(kChunkValues, n - i);
    if (verify && checksWhilePacking(w)) {
      // The kernel gives the chunk's largest value as it packs; a chunk that
      // needs more bits stops the pack (what it wrote is never used).
      const int64_t top = detail::kernels().packBlocksLargest[w](in + i, stage.stage(), count / kBlockFields);
      if (widthFor(top) > w) return i;
    } else {
      if (verify && widthFor(detail::kernels().maxFromZero(in + i, count)) > w) return i;
      packBlocks(w, in + i, stage.stage(), count / kBlockFields);
    }
    stage.commit(count / kBlockFields * 8 * static_cast<size_t>(w));
  }
  out = stage.take();
  return n;
}

}  // namespace

std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo) {
  if (s.empty()) {
    lo = binLen(0) + 1;
    return {};
  }
  std::vector<uint8_t> out;
  const int w = detail::packWithWidth(
      s.data(), s.size(), kChunkValues, widthFor,
      [&](int width, bool verify) { return packAll(s.data(), s.size(), width, verify, out); }, checksWhilePacking);
  lo = w;
  return out;
}

int64_t widthOf(int64_t largest) { return widthFor(largest); }

uint64_t packedSize(uint64_t n, int64_t width) {
  return detail::checkedCount((static_cast<u128>(n) * static_cast<uint64_t>(width) + 7) / 8, 1);
}

void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out) {
  const int w = static_cast<int>(width);
  const size_t n = s.size();
  const size_t head = n % kBlockFields;
  const size_t headBytes = (head * static_cast<size_t>(w) + 7) / 8;
  packHead(s.data(), head, w, out, headBytes);
  if (n >= kBlockFields) packBlocks(w, s.data() + head, out + headBytes, n / kBlockFields);
}

bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink) {
  const uint8_t* p = i.data();
  size_t size = i.size();
  detail::takeWidthByte(p, size, l);
  if (size == 0) return sink.start(0);
  if (l == 0) raise<ValueError>("bit width must be positive, got 0");

  const u128 totalBits = static_cast<u128>(size) * 8;
  if (l < 0) {
    // The front cut keeps a whole number of |l| bits; any bit left means a
    // group is read, and an empty group can never match a negative width.
    const u128 magnitude = static_cast<u128>(-(l + 1)) + 1;
    check(totalBits < magnitude, "bpe(76, 18) `item.parseBin(iitem) == rl` ");
    return sink.start(0);
  }

  const uint64_t width = static_cast<uint64_t>(l);
  const uint64_t count = detail::checkedCount(totalBits / width, 8);
  if (!sink.start(count)) return false;
  if (count == 0) return true;
  // Values are unpacked into a buffer that stays in the first-level cache
  // and handed over from there.
  alignas(64) int64_t stage[kDecodeChunkValues];
  // The input lies in memory, so its bit count fits 64 bits from here on.
  const uint64_t cut = static_cast<uint64_t>(totalBits % width);

  if (width > static_cast<uint64_t>(kMaxBlockWidth)) {
    for (uint64_t g = 0; g < count;) {
      const uint64_t end = std::min<uint64_t>(count, g + kDecodeChunkValues);
      detail::kernels().unpackWideGroups(p, cut + g * width, width, stage, end - g);
      if (!sink.take(stage, end - g)) return false;
      g = end;
    }
    return true;
  }
  // Groups end at the end of the data: the last count / 64 of them form
  // whole blocks, the rest come first, right after the cut.
  const uint64_t head = count % kBlockFields;
  for (uint64_t g = 0; g < head; ++g)
    stage[g] = static_cast<int64_t>(detail::readGroup(p, cut + g * width, width));
  if (head > 0 && !sink.take(stage, head)) return false;
  const uint64_t blocks = count / kBlockFields;
  const uint8_t* block = p + size - blocks * 8 * width;
  for (uint64_t b = 0; b < blocks; b += kDecodeChunkBlocks) {
    const uint64_t k = std::min<uint64_t>(kDecodeChunkBlocks, blocks - b);
    detail::kernels().unpackBlocks[width](block + b * 8 * width, stage, k);
    if (!sink.take(stage, k * kBlockFields)) return false;
  }
  return true;
}

std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l) {
  detail::VectorSink sink;
  decodeInto(i, l, sink);
  return std::move(sink.values);
}

}  // namespace vaskor::bpe
