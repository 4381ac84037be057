// Fixed-width bit blocks, the portable way (private to the bit-packed
// codec). 64 fields fill exactly 8 bytes per bit of width, so a block starts
// and ends on a byte and all shifts inside it are known at compile time; the
// loops below unroll fully.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "detail/byte_order.hpp"
#include "detail/kernels.hpp"

namespace vaskor::detail {

template <int bitCount>
[[gnu::always_inline]] inline uint64_t lowBits(uint64_t v) {
  if constexpr (bitCount >= 64)
    return v;
  else
    return v & ((uint64_t{1} << bitCount) - 1);
}

template <int bitWidth>
struct BitBlock {
  // Bits of a field that carry data: a 65-bit field is a 0 bit and then the
  // whole pattern, and of a longer group only the last 64 bits count.
  static constexpr int kPayloadBits = bitWidth < 64 ? bitWidth : 64;

  // Field I occupies bits [I*bitWidth, (I+1)*bitWidth) of the block, most
  // significant first; its payload is the last kPayloadBits of them. `word`
  // holds the output word being filled.
  template <int field>
  [[gnu::always_inline]] static void packOne(const int64_t* __restrict in, uint8_t* __restrict out,
                                             uint64_t& word) {
    constexpr int end = (field + 1) * bitWidth;
    constexpr int start = end - kPayloadBits;
    constexpr int current = (field * bitWidth) / 64;
    constexpr int firstWord = start / 64;
    constexpr int lastWord = (end - 1) / 64;
    const uint64_t v = lowBits<bitWidth>(static_cast<uint64_t>(in[field]));
    if constexpr (firstWord > current) {  // the leading 0 bit of a 65-bit field closed a word
      storeBE64(out + 8 * current, word);
      word = 0;
    }
    if constexpr (firstWord == lastWord) {
      word |= v << (64 * (firstWord + 1) - end);
      if constexpr (end == 64 * (firstWord + 1)) {
        storeBE64(out + 8 * firstWord, word);
        word = 0;
      }
    } else {
      word |= v >> (end - 64 * lastWord);
      storeBE64(out + 8 * firstWord, word);
      word = v << (64 * (lastWord + 1) - end);
    }
  }

  template <int field>
  [[gnu::always_inline]] static void unpackOne(const uint8_t* __restrict in, int64_t* __restrict out) {
    constexpr int end = (field + 1) * bitWidth;
    constexpr int start = end - kPayloadBits;
    constexpr int firstWord = start / 64;
    constexpr int lastWord = (end - 1) / 64;
    uint64_t v;
    if constexpr (firstWord == lastWord)
      v = loadBE64(in + 8 * firstWord) >> (64 * (firstWord + 1) - end);
    else
      v = (loadBE64(in + 8 * firstWord) << (end - 64 * lastWord)) |
          (loadBE64(in + 8 * lastWord) >> (64 * (lastWord + 1) - end));
    out[field] = static_cast<int64_t>(lowBits<kPayloadBits>(v));
  }

  static void pack(const int64_t* __restrict in, uint8_t* __restrict out, size_t blocks) {
    for (size_t b = 0; b < blocks; ++b, in += kBlockFields, out += 8 * bitWidth) {
      uint64_t word = 0;
      [&]<int... field>(std::integer_sequence<int, field...>) {
        (packOne<field>(in, out, word), ...);
      }(std::make_integer_sequence<int, kBlockFields>{});
    }
  }

  static void unpack(const uint8_t* __restrict in, int64_t* __restrict out, size_t blocks) {
    for (size_t b = 0; b < blocks; ++b, in += 8 * bitWidth, out += kBlockFields) {
      [&]<int... field>(std::integer_sequence<int, field...>) {
        (unpackOne<field>(in, out), ...);
      }(std::make_integer_sequence<int, kBlockFields>{});
    }
  }
};

}  // namespace vaskor::detail
