// Shared by both decoders: given width 0, the first byte carries the width
// and is not data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor::detail {

inline void takeWidthByte(const uint8_t*& p, size_t& size, int64_t& l) {
  if (l == 0 && size != 0) {
    l = p[0];
    ++p;
    --size;
  }
}

}  // namespace vaskor::detail
