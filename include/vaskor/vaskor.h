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

#include "vaskor/frame_names.h"

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
/* The newest frame version read; version 1 frames (bit-packed, whole-byte)
 * are still written as version 1, blocked frames as version 2. */
#define VASKOR_FRAME_VERSION 2
/* Values per block of the blocked layout (the last block may be shorter). */
#define VASKOR_BLOCK_VALUES 1024

#define VASKOR_ENUM_ENTRY_(c, cxx, byte, ...) VASKOR_##c = byte,
#define VASKOR_SCHEME_ENTRY_(c, cxx, byte, ...) VASKOR_SCHEME_##c = byte,
/* VASKOR_INT8 ... VASKOR_UINT64: low nibble the item size in bytes, 0x10 set
 * for unsigned types. */
typedef enum vaskor_type { VASKOR_ELEMENT_TYPES(VASKOR_ENUM_ENTRY_) } vaskor_type;
/* VASKOR_BIT_PACKED, VASKOR_WHOLE_BYTE (version 1), VASKOR_BLOCKED (version 2). */
typedef enum vaskor_layout { VASKOR_LAYOUTS(VASKOR_ENUM_ENTRY_) } vaskor_layout;
/* VASKOR_FRAME_OF_REFERENCE, VASKOR_DELTA; VASKOR_PER_BLOCK (blocked only:
 * each block takes either). With the blocked layout the first two keep the
 * blocks to the schemes of that transform. */
typedef enum vaskor_transform { VASKOR_TRANSFORMS(VASKOR_ENUM_ENTRY_) } vaskor_transform;
/* How a block of the blocked layout is encoded: VASKOR_SCHEME_CONSTANT ... */
typedef enum vaskor_scheme { VASKOR_SCHEMES(VASKOR_SCHEME_ENTRY_) } vaskor_scheme;
#undef VASKOR_ENUM_ENTRY_
#undef VASKOR_SCHEME_ENTRY_

/* The names Python and the storage codecs give these ("int8", "bpe", "for",
 * "constant", ...); NULL for a value that is none of them. */
VASKOR_API const char *vaskor_type_name(vaskor_type type);
VASKOR_API const char *vaskor_layout_name(vaskor_layout layout);
VASKOR_API const char *vaskor_transform_name(vaskor_transform transform);
VASKOR_API const char *vaskor_scheme_name(vaskor_scheme scheme);

typedef struct vaskor_frame_header {
  uint8_t version;
  vaskor_layout layout;
  vaskor_type type;
  vaskor_transform transform;
  uint8_t width;      /* bits (bit-packed) or bytes (whole-byte) per packed value; blocked: 0 */
  uint64_t count;     /* values in the frame */
  uint64_t reference; /* added back to each packed value; blocked: 0 */
  uint64_t first;     /* delta: the first value; otherwise 0 */
  uint64_t frame_size; /* header and payload */
} vaskor_frame_header;

/* The most bytes a frame of `count` values of `type` in `layout` takes. */
VASKOR_API vaskor_status vaskor_frame_max_size(vaskor_type type, uint64_t count, vaskor_layout layout,
                                               uint64_t *size, vaskor_error *error);

/* Packs `count` items of `type` at `values` (native byte order) into `out`;
 * `*written` is the frame's size. Too small an `out` is refused before
 * anything is written; vaskor_frame_max_size bytes always suffice (and
 * spare the blocked layout a copy through storage of its own). */
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
 * `out` may not overlap the frame. On a failure, `out` is untouched for
 * version 1 frames; a blocked frame's index, segment descriptions and
 * exceptions are checked before anything is written, and a block whose
 * contents are found corrupt (padding bits, codes, run lengths) leaves the
 * values of the blocks before it written and nothing after. */
VASKOR_API vaskor_status vaskor_frame_decode(const void *frame, size_t size, void *out, size_t out_size,
                                             uint64_t *count, vaskor_error *error);

/* The values [start, stop) of the frame (0 <= start <= stop <= count) into
 * `out` (stop - start items), reading of a blocked frame only the blocks
 * that hold them; failures as vaskor_frame_decode. */
VASKOR_API vaskor_status vaskor_frame_decode_range(const void *frame, size_t size, uint64_t start,
                                                   uint64_t stop, void *out, size_t out_size,
                                                   vaskor_error *error);

/* What a frame's blocks are. A version 1 frame is one block (none when it
 * holds no values) of its transform's scheme. */
typedef struct vaskor_frame_blocks {
  uint64_t blocks;     /* blocks in the frame */
  uint64_t block_values; /* values per block but the last (VASKOR_BLOCK_VALUES; version 1: count) */
  uint64_t segments;   /* runs of blocks sharing one description (blocked; version 1: blocks) */
  uint64_t schemes[VASKOR_SCHEME_MAX + 1]; /* blocks of each scheme, by vaskor_scheme; [0] is 0 */
} vaskor_frame_blocks;

VASKOR_API vaskor_status vaskor_frame_read_blocks(const void *frame, size_t size, vaskor_frame_blocks *blocks,
                                                  vaskor_error *error);

/* One block of a frame: where it is and how it is encoded. */
typedef struct vaskor_block {
  uint64_t first;      /* its first value's index in the frame */
  uint64_t count;      /* its values */
  vaskor_scheme scheme;
  uint8_t width;       /* bits per packed field (codes for a dictionary, run values for run-length) */
  uint64_t offset;     /* where its bytes start in the frame */
  uint64_t size;       /* its own bytes (the description it shares with its segment not counted) */
  uint64_t exceptions; /* values stored apart (patched schemes) */
  uint64_t segment;    /* the segment it belongs to */
} vaskor_block;

VASKOR_API vaskor_status vaskor_frame_read_block(const void *frame, size_t size, uint64_t index,
                                                 vaskor_block *block, vaskor_error *error);

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
