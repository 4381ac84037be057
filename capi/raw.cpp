// The two raw formats through the C interface: one body for both, over
// each format's descriptor.
#include <span>

#include "capi/guard.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"

using namespace vaskor;
using capi::guard;
using capi::requirePointer;

namespace {

std::span<const uint8_t> packed(const uint8_t* bytes, size_t size) {
  if (size != 0) requirePointer(bytes, "bytes");
  return {bytes, size};
}

vaskor_status maxPackedSize(const Codec& c, uint64_t count, uint64_t* size, vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(size, "size");
    *size = c.maxPackedSize(count);
  });
}

vaskor_status encode(const Codec& c, const int64_t* values, size_t count, uint8_t* out, size_t out_size,
                     size_t* written, int64_t* width, vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(written, "written");
    requirePointer(width, "width");
    if (count != 0) requirePointer(values, "values");
    if (out_size != 0) requirePointer(out, "out");
    int64_t w = 0;
    const uint64_t n = c.encodeInto({values, count}, {out, out_size}, w);
    *written = n;
    *width = w;
  });
}

vaskor_status decodedCount(const Codec& c, const uint8_t* bytes, size_t size, int64_t width, uint64_t* count,
                           vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(count, "count");
    *count = c.decodedCount(packed(bytes, size), width);
  });
}

vaskor_status decode(const Codec& c, const uint8_t* bytes, size_t size, int64_t width, int64_t* out,
                     size_t out_count, uint64_t* count, vaskor_error* error) {
  return guard(error, [&] {
    requirePointer(count, "count");
    if (out_count != 0) requirePointer(out, "out");
    *count = c.decodeInto(packed(bytes, size), width, {out, out_count});
  });
}

}  // namespace

extern "C" {

vaskor_status vaskor_bpe_max_packed_size(uint64_t count, uint64_t* size, vaskor_error* error) {
  return maxPackedSize(bpe::codec, count, size, error);
}
vaskor_status vaskor_bpe_encode(const int64_t* values, size_t count, uint8_t* out, size_t out_size,
                                size_t* written, int64_t* width, vaskor_error* error) {
  return encode(bpe::codec, values, count, out, out_size, written, width, error);
}
vaskor_status vaskor_bpe_decoded_count(const uint8_t* bytes, size_t size, int64_t width, uint64_t* count,
                                       vaskor_error* error) {
  return decodedCount(bpe::codec, bytes, size, width, count, error);
}
vaskor_status vaskor_bpe_decode(const uint8_t* bytes, size_t size, int64_t width, int64_t* out,
                                size_t out_count, uint64_t* count, vaskor_error* error) {
  return decode(bpe::codec, bytes, size, width, out, out_count, count, error);
}

vaskor_status vaskor_ne_max_packed_size(uint64_t count, uint64_t* size, vaskor_error* error) {
  return maxPackedSize(ne::codec, count, size, error);
}
vaskor_status vaskor_ne_encode(const int64_t* values, size_t count, uint8_t* out, size_t out_size,
                               size_t* written, int64_t* width, vaskor_error* error) {
  return encode(ne::codec, values, count, out, out_size, written, width, error);
}
vaskor_status vaskor_ne_decoded_count(const uint8_t* bytes, size_t size, int64_t width, uint64_t* count,
                                      vaskor_error* error) {
  return decodedCount(ne::codec, bytes, size, width, count, error);
}
vaskor_status vaskor_ne_decode(const uint8_t* bytes, size_t size, int64_t width, int64_t* out,
                               size_t out_count, uint64_t* count, vaskor_error* error) {
  return decode(ne::codec, bytes, size, width, out, out_count, count, error);
}

}  // extern "C"
