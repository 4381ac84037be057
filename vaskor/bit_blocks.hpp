// Fixed-width bit blocks (private to the bit-packed codec). 64 fields of W
// bits fill exactly 8*W bytes, so a block starts and ends on a byte and all
// shifts inside it are known at compile time; the loops below unroll fully.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "vaskor/byte_order.hpp"
#include "vaskor/kernels.hpp"

namespace vaskor::detail {

template <int W>
[[gnu::always_inline]] inline uint64_t lowBits(uint64_t v) {
  if constexpr (W >= 64)
    return v;
  else
    return v & ((uint64_t{1} << W) - 1);
}

template <int W>
struct BitBlock {
  // Bits of a field that carry data: a 65-bit field is a 0 bit and then the
  // whole pattern, and of a longer group only the last 64 bits count.
  static constexpr int P = W < 64 ? W : 64;

  // Field I occupies bits [I*W, (I+1)*W) of the block, most significant first;
  // its payload is the last P of them. `acc` holds the word being filled.
  template <int I>
  [[gnu::always_inline]] static void packOne(const int64_t* __restrict in,
                                             uint8_t* __restrict out, uint64_t& acc) {
    constexpr int e = (I + 1) * W;
    constexpr int s = e - P;
    constexpr int cur = (I * W) / 64;
    constexpr int js = s / 64;
    constexpr int je = (e - 1) / 64;
    const uint64_t v = lowBits<W>(static_cast<uint64_t>(in[I]));
    if constexpr (js > cur) {  // the leading 0 bit of a 65-bit field closed a word
      storeBE64(out + 8 * cur, acc);
      acc = 0;
    }
    if constexpr (js == je) {
      acc |= v << (64 * (js + 1) - e);
      if constexpr (e == 64 * (js + 1)) {
        storeBE64(out + 8 * js, acc);
        acc = 0;
      }
    } else {
      acc |= v >> (e - 64 * je);
      storeBE64(out + 8 * js, acc);
      acc = v << (64 * (je + 1) - e);
    }
  }

  template <int I>
  [[gnu::always_inline]] static void unpackOne(const uint8_t* __restrict in,
                                               int64_t* __restrict out) {
    constexpr int e = (I + 1) * W;
    constexpr int s = e - P;
    constexpr int js = s / 64;
    constexpr int je = (e - 1) / 64;
    uint64_t v;
    if constexpr (js == je)
      v = loadBE64(in + 8 * js) >> (64 * (js + 1) - e);
    else
      v = (loadBE64(in + 8 * js) << (e - 64 * je)) | (loadBE64(in + 8 * je) >> (64 * (je + 1) - e));
    out[I] = static_cast<int64_t>(lowBits<P>(v));
  }

  static void pack(const int64_t* __restrict in, uint8_t* __restrict out, size_t blocks) {
    for (size_t b = 0; b < blocks; ++b, in += kBlockFields, out += 8 * W) {
      uint64_t acc = 0;
      [&]<int... I>(std::integer_sequence<int, I...>) {
        (packOne<I>(in, out, acc), ...);
      }(std::make_integer_sequence<int, kBlockFields>{});
    }
  }

  static void unpack(const uint8_t* __restrict in, int64_t* __restrict out, size_t blocks) {
    for (size_t b = 0; b < blocks; ++b, in += 8 * W, out += kBlockFields) {
      [&]<int... I>(std::integer_sequence<int, I...>) {
        (unpackOne<I>(in, out), ...);
      }(std::make_integer_sequence<int, kBlockFields>{});
    }
  }
};

// Tables indexed by width 1..kMaxBlockWidth; entry 0 is unused.
template <int... W>
constexpr auto packTable(std::integer_sequence<int, W...>) {
  return std::array<PackBlocks, sizeof...(W) + 1>{nullptr, &BitBlock<W + 1>::pack...};
}
template <int... W>
constexpr auto unpackTable(std::integer_sequence<int, W...>) {
  return std::array<UnpackBlocks, sizeof...(W) + 1>{nullptr, &BitBlock<W + 1>::unpack...};
}

}  // namespace vaskor::detail
