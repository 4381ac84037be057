/* Reading the filter's record back, and reporting through HDF5's errors. */
#include <stdio.h>

#include "h5filter/record.h"

int layout_ok(unsigned v) { return v == 0 || v == VASKOR_BIT_PACKED || v == VASKOR_WHOLE_BYTE; }
int transform_ok(unsigned v) { return v == 0 || v == VASKOR_FRAME_OF_REFERENCE || v == VASKOR_DELTA; }

void record_push(const char *func, hid_t minor, const char *message) {
  H5Epush2(H5E_DEFAULT, __FILE__, func, __LINE__, H5E_ERR_CLS, H5E_PLINE, minor, "%s", message);
}

int record_read(size_t n, const unsigned cd[], record *r) {
  char text[160];
  if (n < RECORD_SIZE) {
    record_push(__func__, H5E_CANTFILTER, "vaskor filter: the dataset's filter record is incomplete");
    return 0;
  }
  if (cd[RECORD_FRAME_VERSION] > VASKOR_FRAME_VERSION) {
    snprintf(text, sizeof text, "vaskor filter: written with frame version %u, this library reads up to %d",
             cd[RECORD_FRAME_VERSION], VASKOR_FRAME_VERSION);
    record_push(__func__, H5E_CANTFILTER, text);
    return 0;
  }
  const unsigned size = cd[RECORD_ITEM_SIZE];
  if ((size != 1 && size != 2 && size != 4 && size != 8) || !layout_ok(cd[RECORD_LAYOUT]) ||
      !transform_ok(cd[RECORD_TRANSFORM])) {
    record_push(__func__, H5E_CANTFILTER, "vaskor filter: the dataset's filter record is invalid");
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
