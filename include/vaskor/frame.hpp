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
#include "vaskor/frame_names.h"

namespace vaskor::frame {

// The newest frame version this library reads; a newer one is refused with
// a message naming it. Each layout is written in the version that brought
// it (layoutVersion), so version 1 frames stay as they were.
inline constexpr uint8_t kVersion = 2;
inline constexpr size_t kHeaderSize = 40;
// Values per block of the blocked layout; the last block may be shorter.
inline constexpr uint64_t kBlockValues = 1024;

#define VASKOR_CXX_ENUM_ENTRY_(c, cxx, byte, ...) cxx = byte,
// Byte 5 of the header: the payload's layout.
enum class Layout : uint8_t { VASKOR_LAYOUTS(VASKOR_CXX_ENUM_ENTRY_) };
// Byte 7: how values became the non-negative ones packed; perBlock lets
// each block of the blocked layout choose.
enum class Transform : uint8_t { VASKOR_TRANSFORMS(VASKOR_CXX_ENUM_ENTRY_) };
// Byte 6: low nibble the item size in bytes, 0x10 set for unsigned types.
enum class ElementType : uint8_t { VASKOR_ELEMENT_TYPES(VASKOR_CXX_ENUM_ENTRY_) };
// How a segment of the blocked layout encodes its blocks.
enum class Scheme : uint8_t { VASKOR_SCHEMES(VASKOR_CXX_ENUM_ENTRY_) };
#undef VASKOR_CXX_ENUM_ENTRY_
inline constexpr size_t kSchemeMax = VASKOR_SCHEME_MAX;

constexpr size_t itemSize(ElementType t) { return static_cast<uint8_t>(t) & 0x0f; }
constexpr bool isSigned(ElementType t) { return (static_cast<uint8_t>(t) & 0x10) == 0; }

template <class T>
constexpr ElementType elementTypeOf() {
  static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool> && sizeof(T) <= 8 &&
                    (sizeof(T) & (sizeof(T) - 1)) == 0,
                "frames hold 8-, 16-, 32- or 64-bit integers");
  return static_cast<ElementType>(sizeof(T) | (std::is_signed_v<T> ? 0x00 : 0x10));
}

// The names Python and the storage codecs use ("int8", "bpe", "for",
// "constant"); null for a value outside the lists.
const char* nameOf(ElementType t);
const char* nameOf(Layout l);
const char* nameOf(Transform t);
const char* nameOf(Scheme s);

// With the blocked layout, transform keeps every block to the schemes of
// frame of reference or of delta, or lets each choose (perBlock, what
// kBlocked asks for); the layouts of version 1 take one of the first two.
struct Options {
  Layout layout = Layout::bitPacked;
  Transform transform = Transform::frameOfReference;
};
inline constexpr Options kBlocked{Layout::blocked, Transform::perBlock};

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
  // per packed value; 0 when every packed value is 0 (no payload), and for
  // the blocked layout.
  uint8_t width;
  uint64_t count;
  // Added back to each packed value, modulo 2^(8·itemSize): the minimum
  // (frame of reference), sign- or zero-extended as the element type is,
  // or the least first difference (delta), a signed value of the item's
  // size and so always sign-extended. Blocked: 0.
  uint64_t reference;
  // Delta: the first value, sign- or zero-extended as the element type is;
  // frame of reference and blocked: 0.
  uint64_t first;
  // Blocked: the segments (runs of blocks sharing one description) and the
  // bytes of their data, which the segment index follows.
  uint64_t segments = 0;
  uint64_t dataBytes = 0;

  // Version 1: values in the payload, count (frame of reference) or
  // count − 1 (delta: the differences after the first value; none when
  // count is 0), and the payload's bytes.
  uint64_t packedCount() const;
  uint64_t payloadSize() const;
  // The blocks of the blocked layout: ceil(count / kBlockValues).
  uint64_t blocks() const { return (count + kBlockValues - 1) / kBlockValues; }
  // The frame's bytes, header included.
  uint64_t frameSize() const;
};

// The most bytes a frame of `count` values of `type` in `layout` takes:
// enough room for encodeInto whatever the values. Raises OverflowDefect when
// that does not fit a signed 64-bit count.
uint64_t maxFrameSize(ElementType type, uint64_t count, Layout layout);

// Packs `count` items of `type` at `values` (native byte order) into the
// front of `out`; returns the frame's size. An `out` shorter than the frame
// raises ValueError naming both sizes, before anything is written. The
// blocked layout is encoded in one pass over the values and knows its size
// only at the end: an `out` of maxFrameSize bytes is written directly, a
// shorter one through storage of the encoder's own.
uint64_t encodeInto(ElementType type, const void* values, uint64_t count, Options options,
                    std::span<uint8_t> out);
std::vector<uint8_t> encode(ElementType type, const void* values, uint64_t count, Options options = {});

// encodeInto in two steps, for a caller that sizes its storage exactly
// (the layouts of version 1): plan reads the values for their range and
// gives the header they get, whose frameSize() is the room writeInto then
// fills with the frame of those same values.
Header plan(ElementType type, const void* values, uint64_t count, Options options = {});
void writeInto(const Header& planned, const void* values, uint8_t* out);

template <class T>
std::vector<uint8_t> encode(std::span<const T> values, Options options = {}) {
  return encode(elementTypeOf<T>(), values.data(), values.size(), options);
}

// The header of `frame`, every field checked, and the frame's length checked
// to be exactly what the header gives (the payload itself is not read).
// Raises FrameError (FrameVersionError for a newer version) naming the field.
Header readHeader(std::span<const uint8_t> frame);

// Unpacks `frame` into `out` as items of the frame's own type in native byte
// order and returns the count; an `out` shorter than count · itemSize bytes
// raises ValueError naming both sizes. `out` may not overlap `frame`. A
// version 1 frame is checked whole (readHeader's checks, then that the
// padding bits are zero) before anything is written, so a failure leaves
// `out` untouched. A blocked frame's header, index, segment descriptions
// and exceptions are checked before anything is written; a block whose
// contents are corrupt (padding bits, codes, run lengths) raises
// FrameError having written the values of the blocks before it, and
// nothing past them.
uint64_t decodeInto(std::span<const uint8_t> frame, void* out, uint64_t outBytes);

// The values [start, stop) of `frame` (0 <= start <= stop <= count, else
// ValueError) into `out`, stop − start items; a blocked frame is read only
// in the blocks that hold them and the index entries that find those.
// Failures as decodeInto's. Returns stop − start.
uint64_t decodeRangeInto(std::span<const uint8_t> frame, uint64_t start, uint64_t stop, void* out,
                         uint64_t outBytes);

// The values of a frame of type T; a frame of another type raises ValueError.
template <class T>
std::vector<T> decode(std::span<const uint8_t> frame) {
  const Header h = readHeader(frame);
  if (h.type != elementTypeOf<T>()) raise<ValueError>("frame holds another element type");
  std::vector<T> out(h.count);
  decodeInto(frame, out.data(), out.size() * sizeof(T));
  return out;
}

// What a frame's blocks are. A version 1 frame is one block (none when it
// holds no values) of its transform's scheme.
struct BlockSummary {
  uint64_t blocks = 0;
  // Values per block but the last: kBlockValues, or a version 1 frame's count.
  uint64_t blockValues = 0;
  // Runs of blocks sharing one description (a version 1 frame: its blocks).
  uint64_t segments = 0;
  // Blocks of each scheme, by the scheme's byte; [0] stays 0.
  uint64_t schemes[kSchemeMax + 1] = {};
};
// Reads the index and every segment's description, each checked.
BlockSummary readBlocks(std::span<const uint8_t> frame);

// One block: where it is and how it is encoded.
struct BlockInfo {
  uint64_t first;       // its first value's index in the frame
  uint64_t count;       // its values
  Scheme scheme;
  // Bits per packed field: values, differences, dictionary codes, run values.
  uint8_t width;
  uint64_t offset;      // where its own bytes start in the frame
  uint64_t size;        // its own bytes, what it shares with its segment not counted
  uint64_t exceptions;  // values stored apart (patched schemes)
  uint64_t segment;
};
// Block `index` (< readBlocks(frame).blocks, else ValueError).
BlockInfo readBlock(std::span<const uint8_t> frame, uint64_t index);

}  // namespace vaskor::frame
