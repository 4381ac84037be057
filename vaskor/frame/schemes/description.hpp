// Reading a segment's description (private to the schemes): its bytes
// must be there, its widths within the type.
#pragma once

#include <string>

#include "frame/header_fields.hpp"
#include "frame/scheme_codec.hpp"

namespace vaskor::frame::detail {

// The description needs `bytes` bytes from its scheme byte at `p`.
inline void needDescription(const SegmentView& s, const uint8_t* p, uint64_t bytes) {
  if (static_cast<uint64_t>(s.end - p) < bytes)
    corruptSegment(s, "description is truncated: " + std::to_string(s.end - p) + " bytes, it takes " +
                          std::to_string(bytes));
}

inline int widthIn(const SegmentView& s, uint8_t w, int most, const char* what) {
  if (w > most) corruptSegment(s, std::string(what) + " " + std::to_string(w) + " exceeds " + std::to_string(most) + " bits");
  return w;
}

}  // namespace vaskor::frame::detail
