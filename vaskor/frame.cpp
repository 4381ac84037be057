// The frame's public functions: each checks the choice or the header's
// common fields and hands over to the layout (frame/layout_codec.hpp).
#include "vaskor/frame.hpp"

#include <string>

#include "detail/room.hpp"
#include "frame/layout_codec.hpp"
#include "frame/packed_layout.hpp"

namespace vaskor::frame {

namespace {

// A transform the layout takes, for the calls that need none.
Options anyTransform(Layout layout) {
  return {layout, layout == Layout::blocked ? Transform::perBlock : Transform::frameOfReference};
}

const detail::LayoutCodec& codecOf(const Header& h) { return *detail::layoutCodec(static_cast<uint8_t>(h.layout)); }

}  // namespace

uint64_t maxFrameSize(ElementType type, uint64_t count, Layout layout) {
  return detail::checkChoice(type, anyTransform(layout)).maxFrameSize(type, count);
}

uint64_t encodeInto(ElementType type, const void* values, uint64_t count, Options options, std::span<uint8_t> out) {
  return detail::checkChoice(type, options).encode(type, values, count, options, out);
}

std::vector<uint8_t> encode(ElementType type, const void* values, uint64_t count, Options options) {
  const detail::LayoutCodec& codec = detail::checkChoice(type, options);
  std::vector<uint8_t> out(codec.maxFrameSize(type, count));
  out.resize(codec.encode(type, values, count, options, out));
  return out;
}

Header plan(ElementType type, const void* values, uint64_t count, Options options) {
  if (detail::checkChoice(type, options).version != 1)
    raise<ValueError>("plan: a blocked frame knows its size only once it is written (use encodeInto)");
  return detail::planPacked(type, static_cast<const uint8_t*>(values), count, options);
}

void writeInto(const Header& planned, const void* values, uint8_t* out) {
  detail::writePacked(planned, static_cast<const uint8_t*>(values), out);
}

uint64_t decodeInto(std::span<const uint8_t> frame, void* out, uint64_t outBytes) {
  const Header h = readHeader(frame);
  vaskor::detail::requireRoom(h.count * itemSize(h.type), outBytes, "bytes");
  codecOf(h).decodeRange(h, frame, 0, h.count, static_cast<uint8_t*>(out));
  return h.count;
}

uint64_t decodeRangeInto(std::span<const uint8_t> frame, uint64_t start, uint64_t stop, void* out, uint64_t outBytes) {
  const Header h = readHeader(frame);
  if (start > stop || stop > h.count)
    raise<ValueError>("range [" + std::to_string(start) + ", " + std::to_string(stop) + ") is outside the frame's " +
                      std::to_string(h.count) + " values");
  vaskor::detail::requireRoom((stop - start) * itemSize(h.type), outBytes, "bytes");
  codecOf(h).decodeRange(h, frame, start, stop, static_cast<uint8_t*>(out));
  return stop - start;
}

BlockSummary readBlocks(std::span<const uint8_t> frame) {
  const Header h = readHeader(frame);
  return codecOf(h).readBlocks(h, frame);
}

BlockInfo readBlock(std::span<const uint8_t> frame, uint64_t index) {
  const Header h = readHeader(frame);
  return codecOf(h).readBlock(h, frame, index);
}

}  // namespace vaskor::frame
