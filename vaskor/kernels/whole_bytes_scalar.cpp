// Whole-byte kernels: 1..8 bytes per value, most significant byte first.
#include "kernels/scalar.hpp"

#include <array>
#include <utility>

#include "detail/byte_order.hpp"
#include "detail/kernels.hpp"

namespace vaskor::detail {

namespace {

// While a full 8-byte store stays inside the output it writes one; the bytes
// past the value are overwritten by the next one. The last few go bytewise.
template <int NB>
void packScalar(const int64_t* __restrict in, uint8_t* __restrict out, size_t n) {
  if constexpr (NB == 8) {
#pragma GCC unroll 8
    for (size_t i = 0; i < n; ++i) storeBE64(out + 8 * i, static_cast<uint64_t>(in[i]));
  } else if constexpr (NB == 1) {
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(in[i]);
  } else {
    const size_t fast = stepsInside(n, NB, 8);
    size_t i = 0;
#pragma GCC unroll 8
    for (; i < fast; ++i) storeBE64(out + i * NB, static_cast<uint64_t>(in[i]) << (64 - 8 * NB));
    for (; i < n; ++i)
      for (int k = 0; k < NB; ++k)
        out[i * NB + k] = static_cast<uint8_t>(static_cast<uint64_t>(in[i]) >> (8 * (NB - 1 - k)));
  }
}

template <int NB>
void unpackScalar(const uint8_t* __restrict in, size_t size, int64_t* __restrict out) {
  size_t g = 0;
  if constexpr (NB == 8) {
    const size_t whole = size / 8;
#pragma GCC unroll 8
    for (; g < whole; ++g) out[g] = static_cast<int64_t>(loadBE64(in + 8 * g));
  } else if constexpr (NB == 1) {
    for (; g < size; ++g) out[g] = in[g];
  } else {
    const size_t fast = size >= 8 ? (size - 8) / NB + 1 : 0;
#pragma GCC unroll 8
    for (; g < fast; ++g) out[g] = static_cast<int64_t>(loadBE64(in + g * NB) >> (64 - 8 * NB));
  }
  for (; g * NB < size; ++g) {
    const size_t left = size - g * NB;
    out[g] = static_cast<int64_t>(loadBETail(in + g * NB, left < NB ? left : NB));
  }
}

using Pack = void (*)(const int64_t*, uint8_t*, size_t);
using Unpack = void (*)(const uint8_t*, size_t, int64_t*);

constexpr auto kPack = []<int... K>(std::integer_sequence<int, K...>) {
  return std::array<Pack, 9>{nullptr, &packScalar<K + 1>...};
}(std::make_integer_sequence<int, 8>{});

constexpr auto kUnpack = []<int... K>(std::integer_sequence<int, K...>) {
  return std::array<Unpack, 9>{nullptr, &unpackScalar<K + 1>...};
}(std::make_integer_sequence<int, 8>{});

}  // namespace

void packWholeScalar(int nb, const int64_t* in, uint8_t* out, size_t n) { kPack[nb](in, out, n); }

void unpackWholeScalar(int nb, const uint8_t* in, size_t size, int64_t* out) {
  kUnpack[nb](in, size, out);
}

}  // namespace vaskor::detail
