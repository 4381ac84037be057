// How both encoders settle their width (private). The width follows the
// largest value, so the input has to be read twice: once for the largest
// value, once to pack. Up to `scanFirstUpTo` values that is what happens: in
// cache the scan costs less than a pack, while packing under a guess that
// turns out too narrow halfway costs half a pack more.
// Beyond it the input is packed chunk by chunk, each chunk checked while it
// is in cache, so the input leaves memory once: under the width of the
// first chunk, and from a chunk that needs a wider field on under that
// chunk's width. Where a chunk goes depends only on the count and the
// width, so what the last width packed stays, and only the values before
// it are packed again at the end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "detail/kernels.hpp"

namespace vaskor::detail {

// Where the scan up front stops paying: values that still fit the
// second-level cache (1 MiB).
inline constexpr size_t kExactWidthLimit = size_t{1} << 17;
// For a format whose guess nearly always holds: every input is packed under
// a guess first.
inline constexpr size_t kNeverScanFirst = 0;

// `widthFor(largest)` gives the width. `pack(width, from, to, verify)` packs
// the values [from, to) at their places for that width and returns `to`, or
// with `verify` the start of the first chunk of `chunk` values (counted from
// `from`) that needs a wider field; `from` is 0 or such a start, and so is
// `to` unless it is n. Returns the width used.
template <class WidthFor, class Pack>
int packWithWidth(const int64_t* in, size_t n, size_t chunk, size_t scanFirstUpTo, WidthFor widthFor, Pack pack) {
  if (n <= scanFirstUpTo) {
    const int w = widthFor(kernels().maxFromZero(in, n));
    pack(w, 0, n, false);
    return w;
  }
  int w = widthFor(kernels().maxFromZero(in, std::min(chunk, n)));
  size_t kept = 0;  // the values from here on are packed under w
  for (;;) {
    const size_t stop = pack(w, kept, n, true);
    if (stop == n) break;
    // Everything before `stop` fits w; the chunk at `stop` sets the next
    // guess, so the next pass gets past it.
    w = std::max(w, widthFor(kernels().maxFromZero(in + stop, std::min(chunk, n - stop))));
    kept = stop;
  }
  if (kept > 0) pack(w, 0, kept, false);
  return w;
}

}  // namespace vaskor::detail
