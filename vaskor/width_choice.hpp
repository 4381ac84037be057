// How both encoders settle their width (private). The width follows the
// largest value, so the input has to be read twice: once for the largest
// value, once to pack. Inputs that fit the second-level cache do just that.
// Larger ones are packed chunk by chunk under the width of the first chunk,
// each chunk checked while it is in cache, so the input leaves memory once;
// a chunk that needs a wider field stops the pack, and it starts over with
// the largest value of the rest.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "vaskor/kernels.hpp"

namespace vaskor::detail {

inline constexpr size_t kExactWidthLimit = size_t{1} << 18;  // values (2 MiB)

// `widthFor(largest)` gives the width; `pack(width, verify)` packs everything
// and returns n, or with `verify` the start of the first chunk that needs a
// wider field. `checksWhilePacking(width)` tells that a pack with `verify`
// at that width checks each chunk from the values it packs, without reading
// them again; such inputs take the one-pass way whatever their size.
// Returns the width used.
template <class WidthFor, class Pack, class ChecksWhilePacking>
int packWithWidth(const int64_t* in, size_t n, size_t firstChunk, WidthFor widthFor, Pack pack,
                  ChecksWhilePacking checksWhilePacking) {
  if (n <= firstChunk) {
    const int w = widthFor(kernels().maxFromZero(in, n));
    pack(w, false);
    return w;
  }
  const int guess = widthFor(kernels().maxFromZero(in, firstChunk));
  if (n <= kExactWidthLimit && !checksWhilePacking(guess)) {
    const int w = std::max(guess, widthFor(kernels().maxFromZero(in + firstChunk, n - firstChunk)));
    pack(w, false);
    return w;
  }
  const size_t stop = pack(guess, true);
  if (stop == n) return guess;
  // Everything before `stop` fits the guess, so the rest decides.
  const int w = std::max(guess, widthFor(kernels().maxFromZero(in + stop, n - stop)));
  pack(w, false);
  return w;
}

template <class WidthFor, class Pack>
int packWithWidth(const int64_t* in, size_t n, size_t firstChunk, WidthFor widthFor, Pack pack) {
  return packWithWidth(in, n, firstChunk, widthFor, pack, [](int) { return false; });
}

}  // namespace vaskor::detail
