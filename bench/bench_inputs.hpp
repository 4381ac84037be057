// Inputs of the native benchmarks: the widths and sizes measured, and the
// value and byte sets, made once from fixed seeds and cached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vaskor_bench {

using Values = std::vector<int64_t>;
using Bytes = std::vector<uint8_t>;

inline constexpr size_t kInCache = size_t{64} * 1024;
inline constexpr size_t kOutOfCache = size_t{16} * 1024 * 1024;
inline constexpr int kBitWidths[] = {2, 3, 7, 8, 13, 16, 31, 32, 33, 40, 48, 57, 63, 64, 65};
inline constexpr int kBitDecodeOnlyWidth = 72;
inline constexpr int kByteWidths[] = {1, 2, 3, 4, 5, 6, 7, 8};
inline constexpr size_t kSweepN[] = {1000, 10000, 100000, 1000000, 10000000};
inline constexpr int kSweepBitWidths[] = {13, 57};
inline constexpr int kSweepByteWidths[] = {3, 8};

[[noreturn]] void die(const std::string& what);

// n values whose largest gets exactly width w (2..65), and what the
// bit-packed encoder makes of them (random bytes for width 72).
const Values& bpeValues(int w, size_t n);
const Bytes& bpePacked(int w, size_t n);
// The same for the whole-byte encoder at n bytes (1..8).
const Values& neValues(int n, size_t count);
const Bytes& nePacked(int n, size_t count);

}  // namespace vaskor_bench
