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

// The window the for, delta and patched schemes start with: a width and a
// reference (`extra` more bytes to follow); returns its length.
inline size_t describeWindow(SegmentView& s, const uint8_t* p, const Ring& r, uint64_t extra = 0) {
  needDescription(s, p, 2 + r.size + extra);
  s.width = widthIn(s, p[1], r.k, "width");
  s.reference = loadLE(p + 2, r.size);
  return 2 + r.size;
}

// Its writing: the scheme byte, the width and the reference's bits.
inline size_t writeWindow(Scheme scheme, int w, uint64_t reference, const Ring& r, uint8_t* out) {
  out[0] = static_cast<uint8_t>(scheme);
  out[1] = static_cast<uint8_t>(w);
  storeLE(out + 2, reference, r.size);
  return 2 + r.size;
}

}  // namespace vaskor::frame::detail
