/* The HDF5 filter class and the two entries HDF5's plugin loader looks up.
 * A dataset is taken when its type is an integer of 1, 2, 4 or 8 bytes in
 * either byte order (big-endian values are swapped around the codec). */
#include <H5PLextern.h>
#include <stdio.h>

#include "h5filter/record.h"

static htri_t can_apply(hid_t dcpl, hid_t type, hid_t space) {
  (void)dcpl;
  (void)space;
  const size_t size = H5Tget_size(type);
  const H5T_order_t order = H5Tget_order(type);
  if (H5Tget_class(type) != H5T_INTEGER) {
    /* Negative, not false: h5py adds filters as optional, and a false
     * would silently store the data unfiltered. */
    record_push(__func__, H5E_CANAPPLY, "vaskor filter: the dataset's type is not an integer (it takes integers of 1 to 8 bytes)");
    return -1;
  }
  if (size != 1 && size != 2 && size != 4 && size != 8) {
    record_push(__func__, H5E_CANAPPLY, "vaskor filter: integers of 1, 2, 4 or 8 bytes only");
    return -1;
  }
  if (order != H5T_ORDER_LE && order != H5T_ORDER_BE && order != H5T_ORDER_NONE) {
    record_push(__func__, H5E_CANAPPLY, "vaskor filter: the integer's byte order is neither little- nor big-endian");
    return -1;
  }
  return 1;
}

static herr_t set_local(hid_t dcpl, hid_t type, hid_t space) {
  (void)space;
  unsigned flags = 0;
  unsigned cd[RECORD_SIZE] = {0};
  size_t n = RECORD_SIZE;
  if (H5Pget_filter_by_id2(dcpl, VASKOR_H5_FILTER_ID, &flags, &n, cd, 0, NULL, NULL) < 0) return -1;
  if (n > RECORD_TRANSFORM + 1 || !layout_ok(cd[RECORD_LAYOUT]) || !transform_ok(cd[RECORD_TRANSFORM])) {
    record_push(__func__, H5E_SETLOCAL,
                "vaskor filter: options are (layout, transform): layout 1 bit-packed or 2 whole-byte, "
                "transform 1 frame of reference or 2 delta");
    return -1;
  }
  if (n <= RECORD_LAYOUT || cd[RECORD_LAYOUT] == 0) cd[RECORD_LAYOUT] = VASKOR_BIT_PACKED;
  if (n <= RECORD_TRANSFORM || cd[RECORD_TRANSFORM] == 0) cd[RECORD_TRANSFORM] = VASKOR_FRAME_OF_REFERENCE;
  cd[RECORD_ITEM_SIZE] = (unsigned)H5Tget_size(type);
  cd[RECORD_SIGNED] = H5Tget_sign(type) == H5T_SGN_2;
  cd[RECORD_BIG_ENDIAN] = H5Tget_order(type) == H5T_ORDER_BE;
  cd[RECORD_FRAME_VERSION] = VASKOR_FRAME_VERSION;
  return H5Pmodify_filter(dcpl, VASKOR_H5_FILTER_ID, flags, RECORD_SIZE, cd);
}

static const H5Z_class2_t vaskor_class = {
    H5Z_CLASS_T_VERS,
    (H5Z_filter_t)VASKOR_H5_FILTER_ID,
    1, /* encoder present */
    1, /* decoder present */
    "vaskor frames (provisional id; see the vaskor README)",
    can_apply,
    set_local,
    h5vaskor_filter,
};

H5PL_type_t H5PLget_plugin_type(void) { return H5PL_TYPE_FILTER; }
const void *H5PLget_plugin_info(void) { return &vaskor_class; }
