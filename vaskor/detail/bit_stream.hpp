// The bit stream of the bit-packed format (private), shared by the codec
// and the frames: m fields of w bits, zero padding in front up to a byte
// boundary, then the head (the m mod 64 fields before the first whole
// block), then whole blocks of 64 fields, 8·w bytes each, which the block
// kernels pack and unpack.
#pragma once

#include <cstddef>
#include <cstdint>

#include "detail/kernels.hpp"

namespace vaskor::detail {

struct BitStream {
  uint64_t fields;
  int width;  // 1..kMaxBlockWidth

  uint64_t head() const { return fields % kBlockFields; }
  uint64_t headBytes() const { return (head() * static_cast<uint64_t>(width) + 7) / 8; }
  uint64_t blockBytes() const { return 8 * static_cast<uint64_t>(width); }
  uint64_t bytes() const { return (fields * static_cast<uint64_t>(width) + 7) / 8; }
  uint64_t paddingBits() const { return bytes() * 8 - fields * static_cast<uint64_t>(width); }
  // Where the whole block holding field i (at or past the head) starts.
  uint64_t blockAt(uint64_t i) const { return headBytes() + (i - head()) / kBlockFields * blockBytes(); }
};

// The bytes of a stream of m fields at w bits (w may be 0: none).
inline uint64_t streamBytes(uint64_t m, int w) { return (m * static_cast<uint64_t>(w) + 7) / 8; }

// Packs `fields` (< 64) fields of w bits (1..65) from `in` into `bytes`
// bytes at `out`, padding included: bytes = ceil(fields * w / 8).
void packHead(const int64_t* in, size_t fields, int w, uint8_t* out, size_t bytes);
// The reverse: the `fields` groups of w bits that end `bytes` bytes from
// `in` (whatever comes before them in those bytes is no group's).
void unpackHead(const uint8_t* in, size_t bytes, size_t fields, int w, int64_t* out);

// The whole stream of s.fields fields from `in` into s.bytes() bytes.
void packStream(const int64_t* in, const BitStream& s, uint8_t* out);
// Its fields [from, to) into `out`, the low min(w, 64) bits of each; reads
// only the head and the blocks that hold them.
void unpackStream(const uint8_t* in, const BitStream& s, uint64_t from, uint64_t to, int64_t* out);
// Whether the stream's padding bits (the top bits of its first byte) are 0.
inline bool paddingClear(const uint8_t* in, const BitStream& s) {
  const uint64_t pad = s.paddingBits();
  return pad == 0 || (in[0] >> (8 - pad)) == 0;
}

// The two's-complement reading of the last min(len, 64) bits of the group
// of `len` bits at bit `start`; reads only the bytes the group covers.
inline uint64_t readGroup(const uint8_t* p, uint64_t start, uint64_t len) {
  const uint64_t n = len < 64 ? len : 64;
  const uint64_t from = start + len - n;
  const uint64_t first = from >> 3;
  const uint64_t last = (from + n - 1) >> 3;
  unsigned __int128 acc = 0;
  for (uint64_t k = first; k <= last; ++k) acc = (acc << 8) | p[k];
  const uint64_t v = static_cast<uint64_t>(acc >> ((last + 1) * 8 - (from + n)));
  return n == 64 ? v : v & ((uint64_t{1} << n) - 1);
}

// Field i of a stream (w 1..64), read alone.
inline uint64_t readField(const uint8_t* in, const BitStream& s, uint64_t i) {
  return readGroup(in, s.paddingBits() + i * static_cast<uint64_t>(s.width), static_cast<uint64_t>(s.width));
}

}  // namespace vaskor::detail
