// Bit-packed format: every value takes the same number of bits.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "vaskor/value_sink.hpp"

namespace vaskor::bpe {

// Packs `s`; stores the chosen width in bits into `lo`.
std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo);

// Unpacks with width `l` bits; `l` == 0 reads the width from the first byte.
std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l);

// The same two operations into storage the caller owns. Both write exactly
// what encode / decode return, raise what they raise, and raise every
// failure before writing anything; neither allocates (a failure allocates
// its record only). `out` may be larger than needed: the rest is untouched.

// The most bytes encodeInto can write for n values: n fields of 65 bits, the
// widest any input needs. Raises the over- or underflow defect (OverflowDefect)
// when that many bytes do not fit a signed 64-bit count.
uint64_t maxPackedSize(uint64_t n);

// encode(s, width) into the front of `out`; returns the number of bytes
// written and stores the chosen width in bits into `width`. An `out` shorter
// than the packed size raises ValueError naming both sizes, `width` and `out`
// left as they were. With at least maxPackedSize(s.size()) bytes of room a
// large input is read once; with less it is read twice (first for its width).
uint64_t encodeInto(std::span<const int64_t> s, std::span<uint8_t> out, int64_t& width);

// The number of values decode(i, l) gives; raises what decode raises.
uint64_t decodedCount(std::span<const uint8_t> i, int64_t l);

// decode(i, l) into the front of `out`; returns the number of values written,
// decodedCount(i, l). Raises what decode raises; an `out` shorter than that
// raises ValueError naming both sizes. `out` may overlap no part of `i`.
uint64_t decodeInto(std::span<const uint8_t> i, int64_t l, std::span<int64_t> out);

// The same two operations in parts, for a caller that owns the output
// storage or uses each value as it comes (the Python binding packs straight
// into the host's bytes object and makes each decoded value a Python int).
//
// encode(s, lo): with `largest` the larger of 0 and the greatest value of s,
// lo is widthOf(largest), and the packedSize(s.size(), lo) bytes it returns
// are the ones packInto(s, lo, out) writes to `out`. packedSize raises what
// encode raises for an output too large to hold.
int64_t widthOf(int64_t largest);
// widthOf the largest of s, found as fast as the machine reads s.
int64_t widthOf(std::span<const int64_t> s);
uint64_t packedSize(uint64_t n, int64_t width);
void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out);

// decode(i, l): raises what decode raises, before anything reaches `sink`;
// then tells the sink the number of values and hands them over in order.
// Returns false when the sink stopped it.
bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink);

}  // namespace vaskor::bpe
