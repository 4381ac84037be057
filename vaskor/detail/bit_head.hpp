// The head of a bit-packed stream (private): the n % 64 fields that come
// before the whole blocks, with the stream's zero padding in front of them.
// Shared by the bit-packed codec and the frames, which pack the same stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::bpe {

// Packs `fields` (< 64) fields of w bits (1..65) from `in` into `bytes`
// bytes at `out`, padding included: bytes = ceil(fields * w / 8).
void packHead(const int64_t* in, size_t fields, int w, uint8_t* out, size_t bytes);
// The reverse: the `fields` groups of w bits that end `bytes` bytes from
// `in` (whatever comes before them in those bytes is no group's).
void unpackHead(const uint8_t* in, size_t bytes, size_t fields, int w, int64_t* out);

}  // namespace vaskor::bpe
