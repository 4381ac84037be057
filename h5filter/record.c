/* Reading the filter's record back, and reporting through HDF5's errors. */
#include <stdio.h>

#include "h5filter/record.h"

unsigned layout_version(unsigned layout) {
#define LAYOUT_VERSION_(c, cxx, byte, name, version) \
  case byte:                                         \
    return version;
  switch (layout) { VASKOR_LAYOUTS(LAYOUT_VERSION_) }
#undef LAYOUT_VERSION_
  return 0;
}

void record_defaults(unsigned *layout, unsigned *transform) {
  if (*layout == 0) *layout = VASKOR_BLOCKED;
  if (*transform == 0) *transform = *layout == VASKOR_BLOCKED ? VASKOR_PER_BLOCK : VASKOR_FRAME_OF_REFERENCE;
}

void record_push(const char *func, vh5_id minor, const char *message) {
  if (vh5_bound())
    vh5.epush2(VH5_DEFAULT_STACK, __FILE__, func, __LINE__, vh5.err_cls, vh5.pline, minor, "%s", message);
}

int record_read(size_t n, const unsigned cd[], record *r) {
  char text[160];
  if (n < RECORD_SIZE) {
    record_push(__func__, vh5.cantfilter, "vaskor filter: the dataset's filter record is incomplete");
    return 0;
  }
  if (cd[RECORD_FRAME_VERSION] > VASKOR_FRAME_VERSION) {
    snprintf(text, sizeof text, "vaskor filter: written with frame version %u, this library reads up to %d",
             cd[RECORD_FRAME_VERSION], VASKOR_FRAME_VERSION);
    record_push(__func__, vh5.cantfilter, text);
    return 0;
  }
  const unsigned size = cd[RECORD_ITEM_SIZE];
  if ((size != 1 && size != 2 && size != 4 && size != 8) || layout_version(cd[RECORD_LAYOUT]) == 0 ||
      vaskor_transform_name((vaskor_transform)cd[RECORD_TRANSFORM]) == NULL) {
    record_push(__func__, vh5.cantfilter, "vaskor filter: the dataset's filter record is invalid");
    return 0;
  }
  const unsigned probe = 1;
  const int big_endian_machine = *(const unsigned char *)&probe == 0;
  r->item_size = size;
  r->type = (vaskor_type)(size | (cd[RECORD_SIGNED] ? 0 : 0x10));
  r->layout = (vaskor_layout)cd[RECORD_LAYOUT];
  r->transform = (vaskor_transform)cd[RECORD_TRANSFORM];
  r->swap = size > 1 && (cd[RECORD_BIG_ENDIAN] != 0) != big_endian_machine;
  return 1;
}
