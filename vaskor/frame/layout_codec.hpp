// One frame layout (private): what differs between layouts, so that the
// frame's public functions read the header's common fields and hand over to
// the layout it names, as a frame loops over its blocks and hands each to
// its scheme.
#pragma once

#include <cstdint>
#include <span>

#include "vaskor/frame.hpp"

namespace vaskor::frame::detail {

struct LayoutCodec {
  Layout layout;
  // The version that writes it; a frame of another version with this
  // layout byte is corrupt.
  uint8_t version;
  bool (*takes)(Transform);
  uint64_t (*maxFrameSize)(ElementType, uint64_t count);
  // The size of the frame a checked header describes.
  uint64_t (*frameSize)(const Header&);
  // The layout's own header fields, filled into `h` and checked, and the
  // frame's length checked against them; the payload is not read.
  void (*readHeader)(Header& h, std::span<const uint8_t> frame);
  // encodeInto for a choice checkChoice accepted: refuses too short an
  // `out` before writing to it.
  uint64_t (*encode)(ElementType, const void* values, uint64_t count, Options, std::span<uint8_t> out);
  // Items [start, stop) into `out` (stop − start items of the frame's type).
  void (*decodeRange)(const Header&, std::span<const uint8_t> frame, uint64_t start, uint64_t stop, uint8_t* out);
  BlockSummary (*readBlocks)(const Header&, std::span<const uint8_t> frame);
  BlockInfo (*readBlock)(const Header&, std::span<const uint8_t> frame, uint64_t index);
};

extern const LayoutCodec kBitPackedLayout;
extern const LayoutCodec kWholeByteLayout;
extern const LayoutCodec kBlockedLayout;

// The layout of a header's layout byte; null when there is none.
const LayoutCodec* layoutCodec(uint8_t layoutByte);

// Raises ValueError for an element type, layout or transform outside the
// enums or a transform the layout does not take (a caller's cast), so that
// the encoder never writes a frame it would refuse to read.
const LayoutCodec& checkChoice(ElementType type, Options options);

// The common fields of a header, written.
void writeCommonHeader(const Header& h, uint8_t* out);

}  // namespace vaskor::frame::detail
