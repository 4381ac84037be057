// The two frame transforms for one element type (private to the frames):
// what makes the values non-negative before they are packed, and what
// undoes it after. All arithmetic is in the type's unsigned twin, so it
// wraps modulo 2^(8·itemSize) as the format says, for every value.
// Values are read and written through memcpy: the caller's storage need
// not be aligned, and the loops still vectorise. Each loop is plain so that
// the vectoriser of every instruction set in detail/frame_loops.hpp takes
// it; they are inlined into each set's copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "detail/block_loops.hpp"

namespace vaskor::frame::detail {

template <class T>
[[gnu::always_inline]] inline T load(const uint8_t* p, size_t i) {
  T x;
  std::memcpy(&x, p + i * sizeof(T), sizeof(T));
  return x;
}

template <class T>
[[gnu::always_inline]] inline void store(uint8_t* p, size_t i, T x) {
  std::memcpy(p + i * sizeof(T), &x, sizeof(T));
}

// T to 64 bits the way the header stores it: sign- or zero-extended.
template <class T>
[[gnu::always_inline]] inline uint64_t extend(T v) {
  return static_cast<uint64_t>(static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(v));
}

// The least and greatest, extended to 64 bits.
struct Range64 {
  uint64_t lo, hi;
};

template <class T>
[[gnu::always_inline]] inline T differenceAt(const uint8_t* v, size_t i) {
  using U = std::make_unsigned_t<T>;
  return static_cast<T>(static_cast<U>(static_cast<U>(load<T>(v, i)) - static_cast<U>(load<T>(v, i - 1))));
}

// The least and greatest of item(i) for i in [from, n), from < n.
template <class T, class Item>
[[gnu::always_inline]] inline Range64 rangeBy(Item item, size_t from, size_t n) {
  T lo = item(from), hi = lo;
  for (size_t i = from + 1; i < n; ++i) {
    const T x = item(i);
    lo = x < lo ? x : lo;
    hi = x > hi ? x : hi;
  }
  return {extend(lo), extend(hi)};
}

// Of n >= 1 items, in T's own order.
template <class T>
[[gnu::always_inline]] inline Range64 rangeOf(const uint8_t* __restrict v, size_t n) {
  return rangeBy<T>([v](size_t i) { return load<T>(v, i); }, 0, n);
}

// Of the n - 1 differences of n >= 2 items, each read as signed.
template <class T>
[[gnu::always_inline]] inline Range64 differenceRangeOf(const uint8_t* __restrict v, size_t n) {
  using S = std::make_signed_t<T>;
  return rangeBy<S>([v](size_t i) { return differenceAt<S>(v, i); }, 1, n);
}

// Packed values [from, from + n) into a stage: item(i) - reference.
template <class T, class Item>
[[gnu::always_inline]] inline void fillBy(Item item, uint64_t reference, size_t from, size_t n,
                                          int64_t* __restrict stage) {
  using U = std::make_unsigned_t<T>;
  const U ref = static_cast<U>(reference);
  for (size_t j = 0; j < n; ++j) stage[j] = static_cast<int64_t>(static_cast<U>(static_cast<U>(item(from + j)) - ref));
}

// Frame of reference: v[i] - reference.
template <class T>
[[gnu::always_inline]] inline void forFill(const uint8_t* __restrict v, uint64_t reference, size_t from, size_t n,
                                           int64_t* __restrict stage) {
  fillBy<T>([v](size_t i) { return load<T>(v, i); }, reference, from, n, stage);
}

// Delta: v[i + 1] - v[i] - reference (value 0 is in the header).
template <class T>
[[gnu::always_inline]] inline void deltaFill(const uint8_t* __restrict v, uint64_t reference, size_t from, size_t n,
                                             int64_t* __restrict stage) {
  fillBy<T>([v](size_t i) { return differenceAt<T>(v, i + 1); }, reference, from, n, stage);
}

// The reverse, into the n items at `out`: frame of reference adds the
// reference; delta adds it and each packed value to the item before,
// `previous` before the first, and returns the last item written.
template <class T>
[[gnu::always_inline]] inline void forDrain(const int64_t* __restrict stage, uint64_t reference, size_t n,
                                            uint8_t* __restrict out) {
  using U = std::make_unsigned_t<T>;
  const U ref = static_cast<U>(reference);
  for (size_t j = 0; j < n; ++j) store<T>(out, j, static_cast<T>(static_cast<U>(ref + static_cast<U>(stage[j]))));
}

template <class T>
[[gnu::always_inline]] inline uint64_t deltaDrain(const int64_t* __restrict stage, uint64_t reference, uint64_t previous,
                                                  size_t n, uint8_t* __restrict out) {
  using U = std::make_unsigned_t<T>;
  const U ref = static_cast<U>(reference);
  U acc = static_cast<U>(previous);
  for (size_t j = 0; j < n; ++j) {
    acc = static_cast<U>(acc + ref + static_cast<U>(stage[j]));
    store<T>(out, j, static_cast<T>(acc));
  }
  return acc;
}

// Delta's running sum without storing: the item after n packed values.
template <class T>
[[gnu::always_inline]] inline uint64_t deltaSkip(const int64_t* __restrict stage, uint64_t reference, uint64_t previous,
                                                 size_t n) {
  using U = std::make_unsigned_t<T>;
  U acc = static_cast<U>(previous + n * reference);
  for (size_t j = 0; j < n; ++j) acc = static_cast<U>(acc + static_cast<U>(stage[j]));
  return acc;
}

// The blocked layout's places: an item's position in its type's order, as
// an unsigned number below 2^(8·size) (the sign bit flipped for signed
// types), written for n >= 1 items with the block's statistics taken on the
// way: the places' range and the range of the differences' places (each
// difference a signed item, its sign bit flipped).
template <class T>
[[gnu::always_inline]] inline BlockStats placesStats(const uint8_t* __restrict v, size_t n, uint64_t* __restrict places) {
  using U = std::make_unsigned_t<T>;
  constexpr U flip = std::is_signed_v<T> ? static_cast<U>(U{1} << (8 * sizeof(T) - 1)) : U{0};
  constexpr U sign = static_cast<U>(U{1} << (8 * sizeof(T) - 1));
  const U first = static_cast<U>(static_cast<U>(load<T>(v, 0)) ^ flip);
  places[0] = first;
  U umin = first, umax = first, omin = static_cast<U>(~U{0}), omax = 0;
  for (size_t i = 1; i < n; ++i) {
    const U x = static_cast<U>(static_cast<U>(load<T>(v, i)) ^ flip);
    const U p = static_cast<U>(static_cast<U>(load<T>(v, i - 1)) ^ flip);
    const U d = static_cast<U>(static_cast<U>(x - p) ^ sign);
    places[i] = x;
    umin = x < umin ? x : umin;
    umax = x > umax ? x : umax;
    omin = d < omin ? d : omin;
    omax = d > omax ? d : omax;
  }
  return {umin, umax, omin, omax};
}

// Items from the low bits of 64-bit words, and n copies of one item.
template <class T>
[[gnu::always_inline]] inline void storeBits(const uint64_t* __restrict bits, size_t n, uint8_t* __restrict out) {
  for (size_t i = 0; i < n; ++i) store<T>(out, i, static_cast<T>(bits[i]));
}

template <class T>
[[gnu::always_inline]] inline void fillItems(uint64_t bits, size_t n, uint8_t* __restrict out) {
  const T x = static_cast<T>(bits);
  for (size_t i = 0; i < n; ++i) store<T>(out, i, x);
}

// Runs of items: run k is lengthRef + lengths[k] copies of valueRef +
// values[k], the runs covering n items exactly (checked by the caller).
// Each run starts with one store of 32 bytes where the block has room: what
// spills past a short run, the runs after it write over.
template <class T>
[[gnu::always_inline]] inline void expandRuns(const int64_t* __restrict values, const int64_t* __restrict lengths,
                                              size_t runs, uint64_t valueRef, uint64_t lengthRef, size_t n,
                                              uint8_t* __restrict out) {
  constexpr size_t kSplat = 32 / sizeof(T);
  size_t at = 0;
  for (size_t k = 0; k < runs; ++k) {
    const T x = static_cast<T>(valueRef + static_cast<uint64_t>(values[k]));
    const size_t length = static_cast<size_t>(lengthRef + static_cast<uint64_t>(lengths[k]));
    size_t i = 0;
    if (at + kSplat <= n) {
      for (size_t j = 0; j < kSplat; ++j) store<T>(out, at + j, x);
      i = kSplat;
    }
    for (; i < length; ++i) store<T>(out, at + i, x);
    at += length;
  }
}

}  // namespace vaskor::frame::detail
