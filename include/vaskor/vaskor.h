/* The C interface of vaskor: frames (self-describing packed columns of any
 * integer type) and the two raw formats of signed 64-bit values, all into
 * storage the caller owns. No call keeps state between calls, and none lets
 * a failure unwind into the caller: each returns a status and, when given a
 * vaskor_error, fills it in. Safe to call from many threads at once.
 *
 * Library: libvaskor.so (pkg-config vaskor; CMake vaskor::c) or the static
 * libvaskor.a (which needs the C++ runtime: pkg-config --static). */
#ifndef VASKOR_VASKOR_H
#define VASKOR_VASKOR_H

#include <stddef.h>
#include <stdint.h>

/* The release these declarations belong to; vaskor_version() gives the one
 * loaded. The build checks these against the project's version. */
#define VASKOR_VERSION_MAJOR 0
#define VASKOR_VERSION_MINOR 1
#define VASKOR_VERSION_PATCH 0
#define VASKOR_VERSION \
  ((VASKOR_VERSION_MAJOR << 16) | (VASKOR_VERSION_MINOR << 8) | VASKOR_VERSION_PATCH)

/* HDF5 filter id of the frame filter (libh5vaskor.so). Provisional: taken
 * from HDF5's range for testing (256-511) until one is registered. */
#define VASKOR_H5_FILTER_ID 317

#if defined(__GNUC__)
#define VASKOR_API __attribute__((visibility("default")))
#else
#define VASKOR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef enum vaskor_status {
  VASKOR_OK = 0,
  VASKOR_INVALID_ARGUMENT = 1,   /* a null pointer, an unknown enum value, a bad width or packed input */
  VASKOR_OUTPUT_TOO_SMALL = 2,   /* nothing written; the message names both sizes */
  VASKOR_CORRUPT_FRAME = 3,      /* truncated or malformed frame; the message names the field */
  VASKOR_UNSUPPORTED_VERSION = 4, /* a frame newer than this library reads */
  VASKOR_OUT_OF_MEMORY = 5,
  VASKOR_INTERNAL = 6            /* a fault of the library itself */
} vaskor_status;

#define VASKOR_MESSAGE_SIZE 256

/* Filled in by every call given one: the status again and a message, empty
 * on success, always NUL-terminated (long messages are cut). */
typedef struct vaskor_error {
  vaskor_status status;
  char message[VASKOR_MESSAGE_SIZE];
} vaskor_error;

/* "VASKOR_OK", "VASKOR_OUTPUT_TOO_SMALL", ...; "unknown status" otherwise. */
VASKOR_API const char *vaskor_status_name(vaskor_status status);

/* VASKOR_VERSION and "MAJOR.MINOR.PATCH" of the library loaded. */
VASKOR_API uint32_t vaskor_version(void);
VASKOR_API const char *vaskor_version_string(void);

/* ---- Frames: a 40-byte header, then the payload ---- */

#define VASKOR_FRAME_HEADER_SIZE 40
/* The newest frame version written and read. */
#define VASKOR_FRAME_VERSION 1

/* Low nibble the item size in bytes, 0x10 set for unsigned types. */
typedef enum vaskor_type {
  VASKOR_INT8 = 0x01, VASKOR_INT16 = 0x02, VASKOR_INT32 = 0x04, VASKOR_INT64 = 0x08,
  VASKOR_UINT8 = 0x11, VASKOR_UINT16 = 0x12, VASKOR_UINT32 = 0x14, VASKOR_UINT64 = 0x18
} vaskor_type;

typedef enum vaskor_layout { VASKOR_BIT_PACKED = 1, VASKOR_WHOLE_BYTE = 2 } vaskor_layout;
typedef enum vaskor_transform { VASKOR_FRAME_OF_REFERENCE = 1, VASKOR_DELTA = 2 } vaskor_transform;

typedef struct vaskor_frame_header {
  uint8_t version;
  vaskor_layout layout;
  vaskor_type type;
  vaskor_transform transform;
  uint8_t width;      /* bits (bit-packed) or bytes (whole-byte) per packed value */
  uint64_t count;     /* values in the frame */
  uint64_t reference; /* added back to each packed value */
  uint64_t first;     /* delta: the first value; otherwise 0 */
  uint64_t frame_size; /* header and payload */
} vaskor_frame_header;

/* The most bytes a frame of `count` values of `type` in `layout` takes. */
VASKOR_API vaskor_status vaskor_frame_max_size(vaskor_type type, uint64_t count, vaskor_layout layout,
                                               uint64_t *size, vaskor_error *error);

/* Packs `count` items of `type` at `values` (native byte order) into `out`;
 * `*written` is the frame's size. Too small an `out` is refused before
 * anything is written; vaskor_frame_max_size bytes always suffice. */
VASKOR_API vaskor_status vaskor_frame_encode(vaskor_type type, const void *values, uint64_t count,
                                             vaskor_layout layout, vaskor_transform transform,
                                             void *out, size_t out_size, size_t *written,
                                             vaskor_error *error);

/* The header of the frame of `size` bytes at `frame`, every field checked,
 * and the size checked to be exactly the frame's. */
VASKOR_API vaskor_status vaskor_frame_read_header(const void *frame, size_t size,
                                                  vaskor_frame_header *header, vaskor_error *error);

/* Unpacks the frame into `out` as items of its own type in native byte
 * order (count times the item size bytes); `*count` is the number of values.
 * On any failure `out` is untouched. `out` may not overlap the frame. */
VASKOR_API vaskor_status vaskor_frame_decode(const void *frame, size_t size, void *out, size_t out_size,
                                             uint64_t *count, vaskor_error *error);

/* ---- Raw formats of int64 values: bpe (width in bits), ne (width in
 * bytes, big-endian). A decode width of 0 reads it from the first byte. ---- */

VASKOR_API vaskor_status vaskor_bpe_max_packed_size(uint64_t count, uint64_t *size, vaskor_error *error);
VASKOR_API vaskor_status vaskor_bpe_encode(const int64_t *values, size_t count, uint8_t *out,
                                           size_t out_size, size_t *written, int64_t *width,
                                           vaskor_error *error);
VASKOR_API vaskor_status vaskor_bpe_decoded_count(const uint8_t *bytes, size_t size, int64_t width,
                                                  uint64_t *count, vaskor_error *error);
VASKOR_API vaskor_status vaskor_bpe_decode(const uint8_t *bytes, size_t size, int64_t width, int64_t *out,
                                           size_t out_count, uint64_t *count, vaskor_error *error);

VASKOR_API vaskor_status vaskor_ne_max_packed_size(uint64_t count, uint64_t *size, vaskor_error *error);
VASKOR_API vaskor_status vaskor_ne_encode(const int64_t *values, size_t count, uint8_t *out,
                                          size_t out_size, size_t *written, int64_t *width,
                                          vaskor_error *error);
VASKOR_API vaskor_status vaskor_ne_decoded_count(const uint8_t *bytes, size_t size, int64_t width,
                                                 uint64_t *count, vaskor_error *error);
VASKOR_API vaskor_status vaskor_ne_decode(const uint8_t *bytes, size_t size, int64_t width, int64_t *out,
                                          size_t out_count, uint64_t *count, vaskor_error *error);

#ifdef __cplusplus
}
#endif

#endif /* VASKOR_VASKOR_H */
