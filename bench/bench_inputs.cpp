#include "bench/bench_inputs.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <tuple>

#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"
#include "vaskor/utils.hpp"

namespace vaskor_bench {

void die(const std::string& what) {
  std::fprintf(stderr, "bench: %s\n", what.c_str());
  std::exit(2);
}

namespace {

// splitmix64: fixed seeds, so every run packs the same data.
struct Rng {
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
};

// The largest value that the bit-packed encoder gives width w (2..65).
// Above 2^48 the width rule counts one digit too many just below each power
// of two, so the limit stays 65537 below it; 65 is reached from 2^63 - 64000.
int64_t bpeLimit(int w) {
  const int b = w - 1;  // digit count the largest value must have
  if (b >= 64) return INT64_MAX;
  if (b <= 47) return (int64_t{1} << b) - 1;
  return (int64_t{1} << b) - 65537;
}

// The largest value that the whole-byte encoder gives n bytes (1..8).
int64_t neLimit(int n) {
  switch (n) {
    case 6: return (int64_t{1} << 48) - 2;
    case 7: return (int64_t{1} << 56) - 412;
    case 8: return INT64_MAX;
    default: return (int64_t{1} << (8 * n)) - 1;
  }
}

// n values uniform in [0, lim], with lim itself in the middle so that the
// largest value, and hence the width, is exactly the one wanted.
Values makeValues(int64_t lim, size_t n, uint64_t seed) {
  Values v(n);
  Rng r{seed};
  const uint64_t span = static_cast<uint64_t>(lim) + 1;  // lim < 2^63
  for (auto& x : v) x = static_cast<int64_t>(r.next() % span);
  if (n > 0) v[n / 2] = lim;
  return v;
}

Bytes makeBytes(size_t n, uint64_t seed) {
  Bytes b(n);
  Rng r{seed};
  for (auto& x : b) x = static_cast<uint8_t>(r.next() >> 56);
  return b;
}

// Inputs are made once and kept; at most one large set lives at a time.
struct Cache {
  std::map<std::tuple<char, int, size_t>, std::shared_ptr<void>> small;
  std::tuple<char, int, size_t> bigKey{0, 0, 0};
  std::shared_ptr<void> big;

  template <class T, class Make>
  const T& get(char kind, int w, size_t n, Make make) {
    const auto key = std::make_tuple(kind, w, n);
    if (n <= (size_t{1} << 20)) {
      auto& slot = small[key];
      if (!slot) slot = std::make_shared<T>(make());
      return *static_cast<const T*>(slot.get());
    }
    if (!big || bigKey != key) {
      big.reset();  // free the previous large set before making the next
      big = std::make_shared<T>(make());
      bigKey = key;
    }
    return *static_cast<const T*>(big.get());
  }
};
Cache gCache;

}  // namespace

const Values& bpeValues(int w, size_t n) {
  return gCache.get<Values>('b', w, n, [&] {
    const int64_t lim = bpeLimit(w);
    if (vaskor::binLen(lim) + 1 != w) die("bit-packed input limit has the wrong width");
    return makeValues(lim, n, 1000 + static_cast<uint64_t>(w));
  });
}

const Bytes& bpePacked(int w, size_t n) {
  return gCache.get<Bytes>('B', w, n, [&] {
    if (w == kBitDecodeOnlyWidth) return makeBytes(n * static_cast<size_t>(w) / 8, 72);
    // Encode a private copy: the cache keeps one large set at a time.
    const int64_t lim = bpeLimit(w);
    const Values v = makeValues(lim, n, 1000 + static_cast<uint64_t>(w));
    int64_t lo = 0;
    Bytes b = vaskor::bpe::encode(v, lo);
    if (lo != w) die("bit-packed encoder chose width " + std::to_string(lo) + ", wanted " + std::to_string(w));
    return b;
  });
}

const Values& neValues(int n, size_t count) {
  return gCache.get<Values>('n', n, count, [&] {
    const int64_t lim = neLimit(n);
    if (static_cast<int64_t>(std::ceil(static_cast<double>(vaskor::binLen(lim)) * 0.125)) != n)
      die("whole-byte input limit has the wrong width");
    return makeValues(lim, count, 2000 + static_cast<uint64_t>(n));
  });
}

const Bytes& nePacked(int n, size_t count) {
  return gCache.get<Bytes>('N', n, count, [&] {
    const Values v = makeValues(neLimit(n), count, 2000 + static_cast<uint64_t>(n));
    int64_t lo = 0;
    Bytes b = vaskor::ne::encode(v, lo);
    if (lo != n) die("whole-byte encoder chose width " + std::to_string(lo) + ", wanted " + std::to_string(n));
    return b;
  });
}

}  // namespace vaskor_bench
