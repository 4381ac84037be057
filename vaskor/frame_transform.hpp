// The two frame transforms for one element type (private to the frames):
// what makes the values non-negative before they are packed, and what
// undoes it after. All arithmetic is in the type's unsigned twin, so it
// wraps modulo 2^(8·itemSize) as the format says, for every value.
// Values are read and written through memcpy: the caller's storage need
// not be aligned, and the loops still vectorise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vaskor::frame::detail {

template <class T>
inline T load(const uint8_t* p, size_t i) {
  T x;
  std::memcpy(&x, p + i * sizeof(T), sizeof(T));
  return x;
}

template <class T>
inline void store(uint8_t* p, size_t i, T x) {
  std::memcpy(p + i * sizeof(T), &x, sizeof(T));
}

// T to 64 bits the way the header stores it: sign- or zero-extended.
template <class T>
inline uint64_t extend(T v) {
  return static_cast<uint64_t>(static_cast<std::conditional_t<std::is_signed_v<T>, int64_t, uint64_t>>(v));
}

// The least and greatest of n >= 1 items, in T's own order: one pass, four
// chains so the compares overlap.
template <class T>
struct Range {
  T lo, hi;
};

template <class T>
Range<T> rangeOf(const uint8_t* p, size_t n) {
  T lo[4], hi[4];
  for (int k = 0; k < 4; ++k) lo[k] = hi[k] = load<T>(p, 0);
  size_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int k = 0; k < 4; ++k) {
      const T x = load<T>(p, i + k);
      lo[k] = x < lo[k] ? x : lo[k];
      hi[k] = x > hi[k] ? x : hi[k];
    }
  for (; i < n; ++i) {
    const T x = load<T>(p, i);
    lo[0] = x < lo[0] ? x : lo[0];
    hi[0] = x > hi[0] ? x : hi[0];
  }
  Range<T> r{lo[0], hi[0]};
  for (int k = 1; k < 4; ++k) {
    r.lo = lo[k] < r.lo ? lo[k] : r.lo;
    r.hi = hi[k] > r.hi ? hi[k] : r.hi;
  }
  return r;
}

// One element type under one transform. Packed value j stands for value
// j (frame of reference) or value j + 1 (delta: value 0 is in the header).
// `fill` writes packed values [from, from + n) into a stage; `drain` turns
// them back into values in `out`, in order, chunk after chunk.
template <class T>
struct Transform {
  using U = std::make_unsigned_t<T>;
  using S = std::make_signed_t<T>;

  bool delta;
  U reference;
  U previous;  // drain, delta: the value before the chunk

  // v - reference for each value.
  static void forFill(const uint8_t* v, U reference, size_t from, size_t n, int64_t* stage) {
    for (size_t j = 0; j < n; ++j)
      stage[j] = static_cast<int64_t>(static_cast<U>(static_cast<U>(load<T>(v, from + j)) - reference));
  }

  // (v[i] - v[i - 1]) - reference for i = from + 1 ...
  static void deltaFill(const uint8_t* v, U reference, size_t from, size_t n, int64_t* stage) {
    for (size_t j = 0; j < n; ++j) {
      const U d = static_cast<U>(static_cast<U>(load<T>(v, from + j + 1)) - static_cast<U>(load<T>(v, from + j)));
      stage[j] = static_cast<int64_t>(static_cast<U>(d - reference));
    }
  }

  void fill(const uint8_t* v, size_t from, size_t n, int64_t* stage) const {
    if (delta)
      deltaFill(v, reference, from, n, stage);
    else
      forFill(v, reference, from, n, stage);
  }

  void drain(const int64_t* stage, size_t from, size_t n, uint8_t* out) {
    if (!delta) {
      for (size_t j = 0; j < n; ++j)
        store<T>(out, from + j, static_cast<T>(static_cast<U>(reference + static_cast<U>(stage[j]))));
      return;
    }
    U acc = previous;
    for (size_t j = 0; j < n; ++j) {
      acc = static_cast<U>(acc + reference + static_cast<U>(stage[j]));
      store<T>(out, from + j + 1, static_cast<T>(acc));
    }
    previous = acc;
  }

  // The least and greatest differences of n >= 2 items, read as signed.
  static Range<S> differenceRange(const uint8_t* v, size_t n) {
    alignas(64) S d[1024];
    Range<S> r{};
    bool any = false;
    for (size_t from = 0; from + 1 < n; from += 1024) {
      const size_t k = n - 1 - from < 1024 ? n - 1 - from : 1024;
      for (size_t j = 0; j < k; ++j)
        d[j] = static_cast<S>(static_cast<U>(static_cast<U>(load<T>(v, from + j + 1)) - static_cast<U>(load<T>(v, from + j))));
      const Range<S> c = rangeOf<S>(reinterpret_cast<const uint8_t*>(d), k);
      r.lo = !any || c.lo < r.lo ? c.lo : r.lo;
      r.hi = !any || c.hi > r.hi ? c.hi : r.hi;
      any = true;
    }
    return r;
  }
};

}  // namespace vaskor::frame::detail
