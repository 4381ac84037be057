// The frame header: sizes, writing, and the checks that make every field of
// a frame from anywhere trustworthy before a value is unpacked.
#include "detail/frame_header.hpp"

#include <cstdio>
#include <cstring>
#include <string>

#include "detail/checked_size.hpp"

namespace vaskor::frame {

namespace {

constexpr uint8_t kMagic[4] = {'V', 'S', 'K', 'F'};

uint64_t loadLE64(const uint8_t* p) {
  uint64_t v = 0;
  for (int k = 7; k >= 0; --k) v = (v << 8) | p[k];
  return v;
}

void storeLE64(uint8_t* p, uint64_t v) {
  for (int k = 0; k < 8; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

const char* typeName(ElementType t) {
  switch (t) {
    case ElementType::int8: return "int8";
    case ElementType::int16: return "int16";
    case ElementType::int32: return "int32";
    case ElementType::int64: return "int64";
    case ElementType::uint8: return "uint8";
    case ElementType::uint16: return "uint16";
    case ElementType::uint32: return "uint32";
    case ElementType::uint64: return "uint64";
  }
  return nullptr;
}

bool knownLayout(uint8_t b) { return b == 1 || b == 2; }
bool knownTransform(uint8_t b) { return b == 1 || b == 2; }

// Whether v is the sign extension (signedly) or the zero extension of its
// low `bytes` bytes.
bool extendsLow(uint64_t v, size_t bytes, bool signedly) {
  if (bytes == 8) return true;
  const unsigned bits = static_cast<unsigned>(8 * bytes);
  const uint64_t low = v & ((uint64_t{1} << bits) - 1);
  const bool negative = signedly && (low >> (bits - 1)) != 0;
  return v == (negative ? low | (~uint64_t{0} << bits) : low);
}

std::string hex64(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(v));
  return text;
}

std::string hexByte(uint8_t v) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", v);
  return text;
}

[[noreturn]] void corrupt(const std::string& msg, Site site = Site::here()) { raise<FrameError>(msg, site); }

}  // namespace

uint64_t Header::packedCount() const {
  if (transform == Transform::delta) return count == 0 ? 0 : count - 1;
  return count;
}

uint64_t Header::payloadSize() const {
  const vaskor::detail::u128 m = packedCount();
  if (layout == Layout::bitPacked) return vaskor::detail::checkedCount((m * width + 7) / 8, 1);
  return vaskor::detail::checkedCount(m * width, 1);
}

uint64_t Header::frameSize() const { return kHeaderSize + payloadSize(); }

uint64_t maxFrameSize(ElementType type, uint64_t count, Layout layout) {
  detail::checkChoice(type, {layout, Transform::frameOfReference});
  // The widest field of either layout holds exactly one item.
  return vaskor::detail::checkedCount(static_cast<vaskor::detail::u128>(count) * itemSize(type) + kHeaderSize, 1);
}

namespace detail {

void checkChoice(ElementType type, Options options) {
  if (typeName(type) == nullptr)
    raise<ValueError>("element type " + hexByte(static_cast<uint8_t>(type)) + " is unknown");
  if (!knownLayout(static_cast<uint8_t>(options.layout)))
    raise<ValueError>("layout " + std::to_string(static_cast<int>(options.layout)) + " is unknown");
  if (!knownTransform(static_cast<uint8_t>(options.transform)))
    raise<ValueError>("transform " + std::to_string(static_cast<int>(options.transform)) + " is unknown");
}

void writeHeader(const Header& h, uint8_t* out) {
  std::memcpy(out, kMagic, 4);
  out[4] = h.version;
  out[5] = static_cast<uint8_t>(h.layout);
  out[6] = static_cast<uint8_t>(h.type);
  out[7] = static_cast<uint8_t>(h.transform);
  out[8] = h.width;
  std::memset(out + 9, 0, 7);
  storeLE64(out + 16, h.count);
  storeLE64(out + 24, h.reference);
  storeLE64(out + 32, h.first);
}

}  // namespace detail

// A 40-byte frame may claim any count at width 0 (no payload). The count is
// taken when its values fit a signed 64-bit count of bytes, so every size
// worked out from a header fits; the caller's room then bounds the write.
Header readHeader(std::span<const uint8_t> frame) {
  if (frame.size() < kHeaderSize)
    corrupt("frame is truncated: " + std::to_string(frame.size()) + " bytes, the header alone takes " +
            std::to_string(kHeaderSize));
  const uint8_t* p = frame.data();
  if (std::memcmp(p, kMagic, 4) != 0) corrupt("frame magic is not VSKF");
  if (p[4] > kVersion)
    raise<FrameVersionError>("frame version " + std::to_string(p[4]) + " is newer than this library reads (" +
                             std::to_string(kVersion) + ")");
  if (p[4] == 0) corrupt("frame version 0 is invalid");
  if (!knownLayout(p[5])) corrupt("frame layout " + std::to_string(p[5]) + " is unknown");
  if (typeName(static_cast<ElementType>(p[6])) == nullptr) corrupt("frame element type " + hexByte(p[6]) + " is unknown");
  if (!knownTransform(p[7])) corrupt("frame transform " + std::to_string(p[7]) + " is unknown");

  Header h{p[4], static_cast<Layout>(p[5]), static_cast<ElementType>(p[6]), static_cast<Transform>(p[7]), p[8],
           loadLE64(p + 16), loadLE64(p + 24), loadLE64(p + 32)};
  const size_t size = itemSize(h.type);
  const char* name = typeName(h.type);
  const bool bits = h.layout == Layout::bitPacked;
  if (h.width > (bits ? 8 * size : size))
    corrupt("frame width " + std::to_string(h.width) + " exceeds " + std::to_string(bits ? 8 * size : size) +
            (bits ? " bits for " : " bytes for ") + name);
  for (int k = 9; k < 16; ++k)
    if (p[k] != 0) corrupt("frame reserved bytes 9-15 are not zero");

  const bool delta = h.transform == Transform::delta;
  // A delta reference is a difference: signed whatever the type.
  if (!extendsLow(h.reference, size, delta || isSigned(h.type)))
    corrupt("frame reference " + hex64(h.reference) + " is out of range for " +
            (delta ? "a difference of " + std::string(name) : std::string(name)));
  if (delta ? !extendsLow(h.first, size, isSigned(h.type)) : h.first != 0)
    corrupt("frame first " + hex64(h.first) + (delta ? " is out of range for " + std::string(name)
                                                     : std::string(" must be 0 for frame of reference")));
  if (static_cast<vaskor::detail::u128>(h.count) * size > static_cast<vaskor::detail::u128>(INT64_MAX))
    corrupt("frame count " + std::to_string(h.count) + " is too large: its " + name +
            " values exceed 2^63-1 bytes");
  // The encoder writes one form of a frame with no packed values.
  if (h.packedCount() == 0 && (h.width != 0 || h.reference != 0))
    corrupt("frame of no packed values has width " + std::to_string(h.width) + " and reference " +
            hex64(h.reference) + " (must be 0)");
  if (h.count == 0 && h.first != 0) corrupt("frame first " + hex64(h.first) + " of no values (must be 0)");

  // Fits: the payload is at most count · itemSize bytes.
  const uint64_t payload = h.payloadSize();
  if (frame.size() - kHeaderSize != payload)
    corrupt("frame payload is " + std::to_string(frame.size() - kHeaderSize) + " bytes, count and width need " +
            std::to_string(payload));
  return h;
}

}  // namespace vaskor::frame
