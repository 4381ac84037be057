// Size arithmetic for the codecs' outputs (private). Every storage size is
// worked out in 128 bits and must fit a signed 64-bit count of bytes.
#pragma once

#include <cstdint>

#include "vaskor/failure.hpp"

namespace vaskor::detail {

using u128 = unsigned __int128;

// `count` elements of `elemSize` bytes; returns `count` when the storage
// size fits, else raises the over- or underflow defect.
inline uint64_t checkedCount(u128 count, uint64_t elemSize, Site site = Site::here()) {
  if (count * elemSize > static_cast<u128>(INT64_MAX))
    raise<OverflowDefect>("over- or underflow", site);
  return static_cast<uint64_t>(count);
}

}  // namespace vaskor::detail
