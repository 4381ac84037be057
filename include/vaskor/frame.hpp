// Frames: a packed column that decodes with no side information. A fixed
// header (element type, count, width, transform) followed by the payload in
// one of the two formats, of values that a transform made non-negative, so
// that every value of every integer type comes back exactly.
//
// Header, 40 bytes, multi-byte fields little-endian:
//   0-3 magic "VSKF"   4 version   5 layout   6 element type   7 transform
//   8 width   9-15 zero   16-23 count   24-31 reference   32-39 first
// then the payload: the packed values in the bit-packed format (zero padding
// in front to a byte boundary, most significant bit first) or the
// whole-byte format (big-endian), at the header's width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <vector>

#include "vaskor/failure.hpp"

namespace vaskor::frame {

// The newest frame version this library writes and reads; a newer one is
// refused with a message naming it.
inline constexpr uint8_t kVersion = 1;
inline constexpr size_t kHeaderSize = 40;

// Byte 5 of the header: the payload's layout, one of the two formats.
enum class Layout : uint8_t { bitPacked = 1, wholeByte = 2 };
// Byte 7: how values became the non-negative ones packed.
enum class Transform : uint8_t { frameOfReference = 1, delta = 2 };
// Byte 6: low nibble the item size in bytes, 0x10 set for unsigned types.
enum class ElementType : uint8_t {
  int8 = 0x01, int16 = 0x02, int32 = 0x04, int64 = 0x08,
  uint8 = 0x11, uint16 = 0x12, uint32 = 0x14, uint64 = 0x18,
};

constexpr size_t itemSize(ElementType t) { return static_cast<uint8_t>(t) & 0x0f; }
constexpr bool isSigned(ElementType t) { return (static_cast<uint8_t>(t) & 0x10) == 0; }

template <class T>
constexpr ElementType elementTypeOf() {
  static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool> && sizeof(T) <= 8 &&
                    (sizeof(T) & (sizeof(T) - 1)) == 0,
                "frames hold 8-, 16-, 32- or 64-bit integers");
  return static_cast<ElementType>(sizeof(T) | (std::is_signed_v<T> ? 0x00 : 0x10));
}

struct Options {
  Layout layout = Layout::bitPacked;
  Transform transform = Transform::frameOfReference;
};

// A frame that is truncated, corrupt or hostile; the message names the
// field that is wrong.
class FrameError : public ValueError {
 public:
  using ValueError::ValueError;
  static constexpr const char* kindName = "FrameError";
};
// A frame of a version newer than kVersion.
class FrameVersionError : public FrameError {
 public:
  using FrameError::FrameError;
  static constexpr const char* kindName = "FrameVersionError";
};

// The header's fields.
struct Header {
  uint8_t version;
  Layout layout;
  ElementType type;
  Transform transform;
  // Bits (bit-packed, 0..8·itemSize) or bytes (whole-byte, 0..itemSize)
  // per packed value; 0 when every packed value is 0 (no payload).
  uint8_t width;
  uint64_t count;
  // Added back to each packed value, modulo 2^(8·itemSize): the minimum
  // (frame of reference), sign- or zero-extended as the element type is,
  // or the least first difference (delta), a signed value of the item's
  // size and so always sign-extended.
  uint64_t reference;
  // Delta: the first value, sign- or zero-extended as the element type is;
  // frame of reference: 0.
  uint64_t first;

  // Values in the payload: count (frame of reference), count − 1 (delta:
  // the differences after the first value; none when count is 0).
  uint64_t packedCount() const;
  uint64_t payloadSize() const;
  uint64_t frameSize() const { return kHeaderSize + payloadSize(); }
};

// The most bytes a frame of `count` values of `type` in `layout` takes:
// enough room for encodeInto whatever the values. Raises OverflowDefect when
// that does not fit a signed 64-bit count.
uint64_t maxFrameSize(ElementType type, uint64_t count, Layout layout);

// Packs `count` items of `type` at `values` (native byte order) into the
// front of `out`; returns the frame's size. An `out` shorter than the frame
// raises ValueError naming both sizes, before anything is written.
uint64_t encodeInto(ElementType type, const void* values, uint64_t count, Options options,
                    std::span<uint8_t> out);
std::vector<uint8_t> encode(ElementType type, const void* values, uint64_t count, Options options = {});

// encodeInto in two steps, for a caller that sizes its storage exactly:
// plan reads the values for their range and gives the header they get,
// whose frameSize() is the room writeInto then fills with the frame of
// those same values.
Header plan(ElementType type, const void* values, uint64_t count, Options options = {});
void writeInto(const Header& planned, const void* values, uint8_t* out);

template <class T>
std::vector<uint8_t> encode(std::span<const T> values, Options options = {}) {
  return encode(elementTypeOf<T>(), values.data(), values.size(), options);
}

// The header of `frame`, every field checked, and the frame's length checked
// to be exactly what count and width give (the payload itself is not read).
// Raises FrameError (FrameVersionError for a newer version) naming the field.
Header readHeader(std::span<const uint8_t> frame);

// Unpacks `frame` into `out` as items of the frame's own type in native byte
// order and returns the count. Everything is checked before anything is
// written (readHeader's checks, then that the padding bits are zero); an
// `out` shorter than count · itemSize bytes raises ValueError naming both
// sizes. On any failure `out` is left untouched. `out` may not overlap
// `frame`.
uint64_t decodeInto(std::span<const uint8_t> frame, void* out, uint64_t outBytes);

// The values of a frame of type T; a frame of another type raises ValueError.
template <class T>
std::vector<T> decode(std::span<const uint8_t> frame) {
  const Header h = readHeader(frame);
  if (h.type != elementTypeOf<T>()) raise<ValueError>("frame holds another element type");
  std::vector<T> out(h.count);
  decodeInto(frame, out.data(), out.size() * sizeof(T));
  return out;
}

}  // namespace vaskor::frame
