// Decoding a block of the delta schemes (private): its first value, then its
// fields (field 0 is 0), the exceptions of patched_delta added in, then the
// running sum, into the output or through the stage.
#pragma once

#include <string>

#include "frame/header_fields.hpp"
#include "frame/patching.hpp"

namespace vaskor::frame::detail {

template <bool kPatched>
void decodeDeltaBlock(const SegmentView& s, const BlockOut& o, uint64_t j, uint64_t n) {
  const uint8_t* in = s.blockAt(j);
  const uint64_t first = loadLE(in, o.ring.size);
  uint64_t* items = o.direct();
  int64_t* fields = items != nullptr ? reinterpret_cast<int64_t*>(items) : o.stage;
  readFields(in + o.ring.size, n, s.width, fields, s);
  if (fields[0] != 0) corruptSegment(s, "block " + std::to_string(s.firstBlock + j) + "'s first field is not 0");
  if constexpr (kPatched) applyExceptions(s, j, n, fields);
  if (items != nullptr) {
    o.block.runningSum(items, n, first, s.reference);
    return;
  }
  o.loops.fillItems(first, 1, o.out);
  o.loops.deltaDrain(o.stage + 1, s.reference, first, n - 1, o.out + o.ring.size);
}

}  // namespace vaskor::frame::detail
