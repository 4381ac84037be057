// A slow, literal model of both formats, built the way the format is defined:
// every value becomes a text of binary digits, the texts are joined, padded
// and cut, and each piece is read back as a number. It shares no code with
// the library (only the failure kinds), so the two can be checked against
// each other. Speed is no goal here; keep inputs to a few thousand values.
//
// Stable API, used by the core tests, the benchmarks and the fuzzers:
//   binLen, nsuToBin, parseBin    the digit-text helpers, written out plainly
//   bpeEncode / bpeDecode         bit-packed format
//   neEncode / neDecode           whole-byte format
// The decoders raise the same failure kinds with the same messages as the
// library: AssertionDefect for a negative bit width with bits left,
// ValueError for a zero bit width byte or a byte width of 0 or less.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vaskor_ref {

// floor(ln(x) / ln(2)) + 1 through the C library's log; 1 for 0.
int64_t binLen(int64_t num);

// The low `len` bits of `x` as "0"/"1" text, most significant first; zeros
// above bit 63.
std::string nsuToBin(int64_t x, int64_t len);

// Reads binary digits ("0b"/"0B" prefix, '_' skipped) into `number`; returns
// the characters consumed, or 0 with `number` untouched when no digit is read.
int64_t parseBin(const std::string& s, int64_t& number);
int64_t parseBin(const std::string& s, uint8_t& number);

// Bit-packed format: stores the width in bits into `lo`.
std::vector<uint8_t> bpeEncode(const std::vector<int64_t>& s, int64_t& lo);
// `l` bits per group; 0 takes the width from the first byte.
std::vector<int64_t> bpeDecode(const std::vector<uint8_t>& bytes, int64_t l);

// Whole-byte format: stores the width in bytes into `lo`.
std::vector<uint8_t> neEncode(const std::vector<int64_t>& s, int64_t& lo);
// `l` bytes per group; 0 takes the width from the first byte. A short last
// group is read from the bytes it has.
std::vector<int64_t> neDecode(const std::vector<uint8_t>& bytes, int64_t l);

}  // namespace vaskor_ref
