// Groups wider than a block field, eight at a time with byte permutes: the
// eight groups of w bits span exactly w bytes, so each of them starts at
// the same place within every eight, and up to 127 bits they lie in two
// 64-byte registers. Each lane takes the 8 bytes where its group's last 64
// bits start, byte-reversed, and the ninth, and shifts the two together.
// (Gathers measured slower here than the scalar loop.)
#include <immintrin.h>

#include <algorithm>

#include "vaskor/kernels/avx512.hpp"
#include "vaskor/kernels/scalar.hpp"

namespace vaskor::detail {

namespace {

constexpr uint64_t kMaxPermutedGroup = 127;  // eight groups and a byte in 128 bytes

}  // namespace

[[VASKOR_AVX512_TARGET]] void unpackWideGroupsAvx512(const uint8_t* data, uint64_t firstBit, uint64_t bitWidth,
                                                     int64_t* out, size_t count) {
  constexpr __mmask8 kAll = 0xFF;
  size_t done = 0;
  if (bitWidth <= kMaxPermutedGroup) {
    const uint8_t* start = data + firstBit / 8;
    const size_t bytes = (firstBit % 8 + count * bitWidth + 7) / 8;  // from `start`
    alignas(64) uint8_t lastBytes[64] = {}, ninthByte[64] = {};
    alignas(64) int64_t shifts[8];
    for (uint64_t lane = 0; lane < 8; ++lane) {
      const uint64_t from = firstBit % 8 + (lane + 1) * bitWidth - 64;
      for (uint64_t j = 0; j < 8; ++j) lastBytes[8 * lane + j] = static_cast<uint8_t>(from / 8 + 7 - j);
      ninthByte[8 * lane] = static_cast<uint8_t>(from / 8 + 8);
      shifts[lane] = static_cast<int64_t>(from % 8);
    }
    const __m512i pickLast = _mm512_load_si512(lastBytes), pickNinth = _mm512_load_si512(ninthByte);
    const __m512i shift = _mm512_load_si512(shifts);
    const __m512i ninthShift = _mm512_maskz_sub_epi64(kAll, _mm512_set1_epi64(8), shift);
    // Eights whose 128-byte window stays inside the data.
    const size_t direct = bytes >= 128 ? std::min(count / 8, (bytes - 128) / bitWidth + 1) : 0;
    for (size_t g = 0; g < direct; ++g) {
      const uint8_t* at = start + g * bitWidth;
      const __m512i low = _mm512_loadu_si512(at), high = _mm512_loadu_si512(at + 64);
      const __m512i last = _mm512_permutex2var_epi8(low, pickLast, high);
      const __m512i ninth = _mm512_maskz_permutex2var_epi8(0x0101010101010101, low, pickNinth, high);
      _mm512_storeu_si512(out + 8 * g, _mm512_or_si512(_mm512_maskz_sllv_epi64(kAll, last, shift),
                                                       _mm512_maskz_srlv_epi64(kAll, ninth, ninthShift)));
    }
    done = 8 * direct;
  }
  unpackWideGroupsScalar(data, firstBit + done * bitWidth, bitWidth, out + done, count - done);
}

}  // namespace vaskor::detail
