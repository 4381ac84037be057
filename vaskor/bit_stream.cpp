// The bit stream's head and its walk over whole blocks, for the bit-packed
// codec and the frames (detail/bit_stream.hpp).
#include "detail/bit_stream.hpp"

#include <algorithm>

namespace vaskor::detail {

namespace {

// Scratch for one block passing through a kernel.
constexpr size_t kBlockScratchBytes = 8 * kMaxBlockWidth + 64;
// Blocks unpacked per step when only part of them is wanted.
constexpr uint64_t kStageBlocks = 16;

}  // namespace

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
  kernels().packBlocks[w](fields64, block, 1);
  std::copy(block + 8 * static_cast<size_t>(w) - bytes, block + 8 * static_cast<size_t>(w), out);
}

void unpackHead(const uint8_t* in, size_t bytes, size_t fields, int w, int64_t* out) {
  alignas(64) uint8_t block[kBlockScratchBytes] = {};
  std::copy(in, in + bytes, block + 8 * static_cast<size_t>(w) - bytes);
  alignas(64) int64_t fields64[kBlockFields];
  kernels().unpackBlocks[w](block, fields64, 1);
  std::copy(fields64 + kBlockFields - fields, fields64 + kBlockFields, out);
}

void packStream(const int64_t* in, const BitStream& s, uint8_t* out) {
  const uint64_t head = s.head();
  packHead(in, head, s.width, out, s.headBytes());
  if (s.fields > head) kernels().packBlocks[s.width](in + head, out + s.headBytes(), (s.fields - head) / kBlockFields);
}

void unpackStream(const uint8_t* in, const BitStream& s, uint64_t from, uint64_t to, int64_t* out) {
  const uint64_t head = s.head();
  if (from < head) {
    alignas(64) int64_t fields[kBlockFields];
    unpackHead(in, s.headBytes(), head, s.width, fields);
    const uint64_t end = std::min(to, head);
    out = std::copy(fields + from, fields + end, out);
    from = end;
  }
  if (from >= to) return;
  const UnpackBlocks unpack = kernels().unpackBlocks[s.width];
  uint64_t block = (from - head) / kBlockFields;
  const uint64_t endBlock = (to - head + kBlockFields - 1) / kBlockFields;
  if ((from - head) % kBlockFields == 0 && (to - head) % kBlockFields == 0) {
    unpack(in + s.headBytes() + block * s.blockBytes(), out, endBlock - block);
    return;
  }
  alignas(64) int64_t stage[kStageBlocks * kBlockFields];
  while (block < endBlock) {
    const uint64_t n = std::min(kStageBlocks, endBlock - block);
    unpack(in + s.headBytes() + block * s.blockBytes(), stage, n);
    const uint64_t first = head + block * kBlockFields;
    const uint64_t lo = std::max(from, first), hi = std::min(to, first + n * kBlockFields);
    out = std::copy(stage + (lo - first), stage + (hi - first), out);
    block += n;
  }
}

}  // namespace vaskor::detail
