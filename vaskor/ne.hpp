// Whole-byte format: every value takes the same number of bytes, big-endian.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "vaskor/value_sink.hpp"

namespace vaskor::ne {

// Packs `s`; stores the chosen width in bytes into `lo`.
std::vector<uint8_t> encode(std::span<const int64_t> s, int64_t& lo);

// Unpacks with width `l` bytes; `l` == 0 reads the width from the first byte.
std::vector<int64_t> decode(std::span<const uint8_t> i, int64_t l);

// The same two operations in parts, for a caller that owns the output
// storage or uses each value as it comes (the Python binding packs straight
// into the host's bytes object and makes each decoded value a Python int).
//
// encode(s, lo): with `largest` the larger of 0 and the greatest value of s,
// lo is widthOf(largest), and the packedSize(s.size(), lo) bytes it returns
// are the ones packInto(s, lo, out) writes to `out`. packedSize raises what
// encode raises for an output too large to hold.
int64_t widthOf(int64_t largest);
uint64_t packedSize(uint64_t n, int64_t width);
void packInto(std::span<const int64_t> s, int64_t width, uint8_t* out);

// decode(i, l): raises what decode raises, before anything reaches `sink`;
// then tells the sink the number of values and hands them over in order.
// Returns false when the sink stopped it.
bool decodeInto(std::span<const uint8_t> i, int64_t l, ValueSink& sink);

}  // namespace vaskor::ne
