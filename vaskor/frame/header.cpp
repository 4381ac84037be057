// The header's common fields, which say what the rest of a frame is: the
// magic, the version, the layout that takes over from there, the element
// type and the transform, each checked before any layout reads further.
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/header_fields.hpp"
#include "frame/layout_codec.hpp"

namespace vaskor::frame {

namespace detail {

namespace {

std::string hexByte(uint8_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", v);
  return text;
}

[[noreturn]] void corrupt(const std::string& msg, Site site = Site::here()) { raise<FrameError>(msg, site); }

}  // namespace

const LayoutCodec* layoutCodec(uint8_t layoutByte) {
  for (const LayoutCodec* c : {&kBitPackedLayout, &kWholeByteLayout, &kBlockedLayout})
    if (static_cast<uint8_t>(c->layout) == layoutByte) return c;
  return nullptr;
}

const LayoutCodec& checkChoice(ElementType type, Options options) {
  if (nameOf(type) == nullptr)
    raise<ValueError>("element type " + hexByte(static_cast<uint8_t>(type)) + " is unknown");
  const LayoutCodec* codec = layoutCodec(static_cast<uint8_t>(options.layout));
  if (codec == nullptr) raise<ValueError>("layout " + std::to_string(static_cast<int>(options.layout)) + " is unknown");
  if (nameOf(options.transform) == nullptr)
    raise<ValueError>("transform " + std::to_string(static_cast<int>(options.transform)) + " is unknown");
  if (!codec->takes(options.transform))
    raise<ValueError>(std::string("transform '") + nameOf(options.transform) + "' does not go with layout '" +
                      nameOf(options.layout) + "'");
  return *codec;
}

void writeCommonHeader(const Header& h, uint8_t* out) {
  std::memcpy(out + kMagicAt, kMagic, sizeof kMagic);
  out[kVersionAt] = h.version;
  out[kLayoutAt] = static_cast<uint8_t>(h.layout);
  out[kTypeAt] = static_cast<uint8_t>(h.type);
  out[kTransformAt] = static_cast<uint8_t>(h.transform);
  std::memset(out + kReservedAt, 0, kCountAt - kReservedAt);
  storeLE(out + kCountAt, h.count, 8);
}

}  // namespace detail

uint64_t Header::frameSize() const { return detail::layoutCodec(static_cast<uint8_t>(layout))->frameSize(*this); }

Header readHeader(std::span<const uint8_t> frame) {
  using namespace detail;
  if (frame.size() < kHeaderSize)
    corrupt("frame is truncated: " + std::to_string(frame.size()) + " bytes, the header alone takes " +
            std::to_string(kHeaderSize));
  const uint8_t* p = frame.data();
  if (std::memcmp(p + kMagicAt, kMagic, sizeof kMagic) != 0) corrupt("frame magic is not VSKF");
  const uint8_t version = p[kVersionAt];
  if (version > kVersion)
    raise<FrameVersionError>("frame version " + std::to_string(version) + " is newer than this library reads (" +
                             std::to_string(kVersion) + ")");
  if (version == 0) corrupt("frame version 0 is invalid");
  const LayoutCodec* codec = layoutCodec(p[kLayoutAt]);
  if (codec == nullptr) corrupt("frame layout " + std::to_string(p[kLayoutAt]) + " is unknown");
  if (codec->version != version)
    corrupt("frame layout " + std::to_string(p[kLayoutAt]) + " is written as version " +
            std::to_string(codec->version) + ", not " + std::to_string(version));
  const auto type = static_cast<ElementType>(p[kTypeAt]);
  if (nameOf(type) == nullptr) corrupt("frame element type " + hexByte(p[kTypeAt]) + " is unknown");
  const auto transform = static_cast<Transform>(p[kTransformAt]);
  if (nameOf(transform) == nullptr || !codec->takes(transform))
    corrupt("frame transform " + std::to_string(p[kTransformAt]) + " is unknown");
  Header h{version, codec->layout, type, transform, 0, loadLE(p + kCountAt, 8), 0, 0};
  for (size_t k = kReservedAt; k < kCountAt; ++k)
    if (p[k] != 0) corrupt("frame reserved bytes 9-15 are not zero");
  codec->readHeader(h, frame);
  return h;
}

}  // namespace vaskor::frame
