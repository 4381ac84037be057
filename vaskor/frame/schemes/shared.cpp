// What the schemes share: field streams, the report of a corrupt segment,
// the scheme registry and a block's runs.
#include <string>

#include "detail/bit_stream.hpp"
#include "frame/scheme_codec.hpp"

namespace vaskor::frame::detail {

void corruptSegment(const SegmentView& s, const std::string& what) {
  raise<FrameError>("frame segment " + std::to_string(s.index) + " (" + nameOf(s.scheme) + "): " + what);
}

void readFields(const uint8_t* in, uint64_t n, int w, int64_t* stage, const SegmentView& where) {
  if (w == 0) {
    for (uint64_t i = 0; i < n; ++i) stage[i] = 0;
    return;
  }
  const vaskor::detail::BitStream s{n, w};
  if (!vaskor::detail::paddingClear(in, s)) corruptSegment(where, "padding bits are not zero");
  vaskor::detail::unpackStream(in, s, 0, n, stage);
}

size_t writeFields(const int64_t* fields, uint64_t n, int w, uint8_t* out) {
  if (w == 0 || n == 0) return 0;
  const vaskor::detail::BitStream s{n, w};
  vaskor::detail::packStream(fields, s, out);
  return s.bytes();
}

void openWithParams(OpenSegment& seg, const Params& p) { seg.p = p; }

const SchemeCodec* schemeCodec(uint8_t schemeByte) {
#define VASKOR_SCHEME_ENTRY_(c, cxx, ...) &cxx##Scheme,
  for (const SchemeCodec* c : {VASKOR_SCHEMES(VASKOR_SCHEME_ENTRY_)})
    if (static_cast<uint8_t>(c->scheme) == schemeByte) return c;
#undef VASKOR_SCHEME_ENTRY_
  return nullptr;
}

void EncoderBlock::findRuns() {
  if (runCount != 0) return;
  // Without branches: every place writes the open run's length and the
  // next run's value, which a later place overwrites unless it starts one.
  size_t k = 0, start = 0;
  runValue[0] = u[0];
  for (size_t i = 1; i < n; ++i) {
    const size_t starts = u[i] != u[i - 1];
    runLength[k] = i - start;
    runValue[k + 1] = u[i];
    start = starts ? i : start;
    k += starts;
  }
  runLength[k++] = n - start;
  runCount = k;
}

}  // namespace vaskor::frame::detail
