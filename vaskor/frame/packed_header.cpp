// The header of the layouts of version 1: its sizes, and the checks that
// make its own fields trustworthy before a value is unpacked.
#include <cstdio>
#include <string>

#include "detail/checked_size.hpp"
#include "frame/header_fields.hpp"
#include "frame/layout_codec.hpp"
#include "frame/packed_layout.hpp"

namespace vaskor::frame {

uint64_t Header::packedCount() const {
  if (transform == Transform::delta) return count == 0 ? 0 : count - 1;
  return count;
}

uint64_t Header::payloadSize() const {
  const vaskor::detail::u128 m = packedCount();
  if (layout == Layout::bitPacked) return vaskor::detail::checkedCount((m * width + 7) / 8, 1);
  return vaskor::detail::checkedCount(m * width, 1);
}

namespace detail {

namespace {

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

[[noreturn]] void corrupt(const std::string& msg, Site site = Site::here()) { raise<FrameError>(msg, site); }

}  // namespace

// A 40-byte frame may claim any count at width 0 (no payload). The count is
// taken when its values fit a signed 64-bit count of bytes, so every size
// worked out from a header fits; the caller's room then bounds the write.
void readPackedHeader(Header& h, std::span<const uint8_t> frame) {
  const uint8_t* p = frame.data();
  h.width = p[kWidthAt];
  h.reference = loadLE(p + kReferenceAt, 8);
  h.first = loadLE(p + kFirstAt, 8);
  const size_t size = itemSize(h.type);
  const char* name = nameOf(h.type);
  const bool bits = h.layout == Layout::bitPacked;
  if (h.width > (bits ? 8 * size : size))
    corrupt("frame width " + std::to_string(h.width) + " exceeds " + std::to_string(bits ? 8 * size : size) +
            (bits ? " bits for " : " bytes for ") + name);
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
}

uint64_t maxPackedFrameSize(ElementType type, uint64_t count) {
  // The widest field of either layout holds exactly one item.
  return vaskor::detail::checkedCount(static_cast<vaskor::detail::u128>(count) * itemSize(type) + kHeaderSize, 1);
}

}  // namespace detail
}  // namespace vaskor::frame
