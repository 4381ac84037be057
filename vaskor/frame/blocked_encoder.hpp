// The blocked layout's encoder (private): one pass over the values, a
// block at a time, each block placed in the open segment or opening its own.
#pragma once

#include <cstdint>
#include <span>

#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

uint64_t maxBlockedFrameSize(ElementType type, uint64_t count);
// A choice checkChoice accepted; `out` shorter than maxBlockedFrameSize is
// written through storage of the encoder's own.
uint64_t encodeBlocked(ElementType type, const void* values, uint64_t count, Options options, std::span<uint8_t> out);

// Whether a transform lets a segment use a scheme.
bool transformAllows(Transform t, Scheme s);

}  // namespace vaskor::frame::detail
