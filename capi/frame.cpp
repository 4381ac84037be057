// Frames through the C interface: the C enums carry the header's byte
// values, so they pass to the C++ forms by cast and the C++ side checks them.
#include <span>

#include "capi/guard.hpp"
#include "vaskor/frame.hpp"

using namespace vaskor;
using capi::guard;
using capi::requirePointer;

namespace {

frame::ElementType typeOf(vaskor_type t) { return static_cast<frame::ElementType>(t); }
frame::Layout layoutOf(vaskor_layout l) { return static_cast<frame::Layout>(l); }

std::span<const uint8_t> bytesOf(const void* p, size_t size) {
  if (size != 0) requirePointer(p, "frame");
  return {static_cast<const uint8_t*>(p), size};
}

}  // namespace

extern "C" vaskor_status vaskor_frame_max_size(vaskor_type type, uint64_t count, vaskor_layout layout,
                                               uint64_t* size, vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(size, "size");
    *size = frame::maxFrameSize(typeOf(type), count, layoutOf(layout));
  });
}

extern "C" vaskor_status vaskor_frame_encode(vaskor_type type, const void* values, uint64_t count,
                                             vaskor_layout layout, vaskor_transform transform, void* out,
                                             size_t out_size, size_t* written, vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(written, "written");
    if (count != 0) requirePointer(values, "values");
    if (out_size != 0) requirePointer(out, "out");
    const frame::Options options{layoutOf(layout), static_cast<frame::Transform>(transform)};
    *written = frame::encodeInto(typeOf(type), values, count, options,
                                 std::span(static_cast<uint8_t*>(out), out_size));
  });
}

extern "C" vaskor_status vaskor_frame_read_header(const void* frame, size_t size, vaskor_frame_header* header,
                                                  vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(header, "header");
    const frame::Header h = frame::readHeader(bytesOf(frame, size));
    *header = {h.version,
               static_cast<vaskor_layout>(h.layout),
               static_cast<vaskor_type>(h.type),
               static_cast<vaskor_transform>(h.transform),
               h.width,
               h.count,
               h.reference,
               h.first,
               h.frameSize()};
  });
}

extern "C" vaskor_status vaskor_frame_decode(const void* frame, size_t size, void* out, size_t out_size,
                                             uint64_t* count, vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(count, "count");
    if (out_size != 0) requirePointer(out, "out");
    *count = frame::decodeInto(bytesOf(frame, size), out, out_size);
  });
}

extern "C" vaskor_status vaskor_frame_decode_range(const void* frame, size_t size, uint64_t start, uint64_t stop,
                                                   void* out, size_t out_size, vaskor_error* error) {
  return guard(error, [&] {
    if (out_size != 0) requirePointer(out, "out");
    frame::decodeRangeInto(bytesOf(frame, size), start, stop, out, out_size);
  });
}

extern "C" vaskor_status vaskor_frame_read_blocks(const void* frame, size_t size, vaskor_frame_blocks* blocks,
                                                  vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(blocks, "blocks");
    const frame::BlockSummary s = frame::readBlocks(bytesOf(frame, size));
    vaskor_frame_blocks b{s.blocks, s.blockValues, s.segments, {}};
    static_assert(sizeof b.schemes == sizeof s.schemes);
    for (size_t k = 0; k <= frame::kSchemeMax; ++k) b.schemes[k] = s.schemes[k];
    *blocks = b;
  });
}

extern "C" vaskor_status vaskor_frame_read_block(const void* frame, size_t size, uint64_t index, vaskor_block* block,
                                                 vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(block, "block");
    const frame::BlockInfo i = frame::readBlock(bytesOf(frame, size), index);
    *block = {i.first, i.count, static_cast<vaskor_scheme>(i.scheme), i.width, i.offset, i.size, i.exceptions, i.segment};
  });
}
