/* The filter: a chunk becomes one frame of the dataset's element type, and
 * a frame read back is checked against the dataset's record before it is
 * decoded. Any failure is an HDF5 error (0 returned), never a crash. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "h5filter/record.h"

/* Values in the file's byte order to this machine's, or back. */
static void swap_items(unsigned char *p, size_t count, size_t size) {
  for (size_t i = 0; i < count; ++i, p += size)
    for (size_t a = 0, b = size - 1; a < b; ++a, --b) {
      const unsigned char t = p[a];
      p[a] = p[b];
      p[b] = t;
    }
}

static size_t fail(const char *func, const vaskor_error *error) {
  char text[VASKOR_MESSAGE_SIZE + 40];
  snprintf(text, sizeof text, "vaskor filter: %s (%s)", error->message, vaskor_status_name(error->status));
  record_push(func, vh5.cantfilter, text);
  return 0;
}

static size_t out_of_memory(const char *func, size_t bytes) {
  char text[96];
  snprintf(text, sizeof text, "vaskor filter: no memory for %zu bytes", bytes);
  record_push(func, vh5.cantalloc, text);
  return 0;
}

static size_t encode_chunk(const record *r, size_t nbytes, size_t *buf_size, void **buf) {
  vaskor_error error;
  if (nbytes % r->item_size != 0) {
    record_push(__func__, vh5.cantfilter, "vaskor filter: chunk is not a whole number of items");
    return 0;
  }
  const size_t count = nbytes / r->item_size;
  uint64_t most = 0;
  if (vaskor_frame_max_size(r->type, count, r->layout, &most, &error) != VASKOR_OK) return fail(__func__, &error);
  void *out = vh5.allocate_memory((size_t)most, 0);
  if (out == NULL) return out_of_memory(__func__, (size_t)most);
  /* The chunk is ours to replace: swapped where it is, and back on failure
   * (an optional filter that fails leaves HDF5 writing the chunk as is). */
  if (r->swap) swap_items(*buf, count, r->item_size);
  size_t written = 0;
  if (vaskor_frame_encode(r->type, *buf, count, r->layout, r->transform, out, (size_t)most, &written, &error) !=
      VASKOR_OK) {
    if (r->swap) swap_items(*buf, count, r->item_size);
    vh5.free_memory(out);
    return fail(__func__, &error);
  }
  vh5.free_memory(*buf);
  *buf = out;
  *buf_size = (size_t)most;
  return written;
}

static size_t decode_chunk(const record *r, size_t nbytes, size_t *buf_size, void **buf) {
  vaskor_error error;
  vaskor_frame_header h;
  if (vaskor_frame_read_header(*buf, nbytes, &h, &error) != VASKOR_OK) return fail(__func__, &error);
  if (h.type != r->type) {
    char text[128];
    snprintf(text, sizeof text, "vaskor filter: chunk holds a frame of type 0x%02x, the dataset's is 0x%02x",
             (unsigned)h.type, (unsigned)r->type);
    record_push(__func__, vh5.cantfilter, text);
    return 0;
  }
  if (h.count == 0 || h.count > SIZE_MAX / r->item_size) {
    record_push(__func__, vh5.cantfilter, "vaskor filter: chunk's frame claims no values or more than memory holds");
    return 0;
  }
  const size_t bytes = (size_t)h.count * r->item_size;
  void *out = vh5.allocate_memory(bytes, 0);
  if (out == NULL) return out_of_memory(__func__, bytes);
  uint64_t count = 0;
  if (vaskor_frame_decode(*buf, nbytes, out, bytes, &count, &error) != VASKOR_OK) {
    vh5.free_memory(out);
    return fail(__func__, &error);
  }
  if (r->swap) swap_items(out, (size_t)count, r->item_size);
  vh5.free_memory(*buf);
  *buf = out;
  *buf_size = bytes;
  return bytes;
}

size_t h5vaskor_filter(unsigned flags, size_t cd_nelmts, const unsigned cd_values[], size_t nbytes,
                       size_t *buf_size, void **buf) {
  record r;
  if (!record_read(cd_nelmts, cd_values, &r)) return 0;
  if (flags & VH5_FLAG_REVERSE) return decode_chunk(&r, nbytes, buf_size, buf);
  return encode_chunk(&r, nbytes, buf_size, buf);
}
