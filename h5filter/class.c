/* The HDF5 filter class and the plugin's entries: the two HDF5's plugin
 * loader looks up, the registration the Python helper calls, and the names
 * of the options. A dataset is taken when its type is an integer of 1, 2, 4
 * or 8 bytes in either byte order (big-endian values are swapped around the
 * codec). */
#include <stdio.h>
#include <stdlib.h>

#include "h5filter/record.h"

#define EXPORT __attribute__((visibility("default")))

static vh5_tri can_apply(vh5_id dcpl, vh5_id type, vh5_id space) {
  (void)dcpl;
  (void)space;
  const size_t size = vh5.tget_size(type);
  const int order = vh5.tget_order(type);
  if (vh5.tget_class(type) != VH5_INTEGER) {
    /* Negative, not false: h5py adds filters as optional, and a false
     * would silently store the data unfiltered. */
    record_push(__func__, vh5.canapply, "vaskor filter: the dataset's type is not an integer (it takes integers of 1 to 8 bytes)");
    return -1;
  }
  if (size != 1 && size != 2 && size != 4 && size != 8) {
    record_push(__func__, vh5.canapply, "vaskor filter: integers of 1, 2, 4 or 8 bytes only");
    return -1;
  }
  if (order != VH5_ORDER_LE && order != VH5_ORDER_BE && order != VH5_ORDER_NONE) {
    record_push(__func__, vh5.canapply, "vaskor filter: the integer's byte order is neither little- nor big-endian");
    return -1;
  }
  return 1;
}

/* The library itself judges layout and transform, on an empty column of the
 * dataset's type: what it refuses here it would refuse for every chunk,
 * which an optional filter would then store unfiltered. */
static int options_refused(vaskor_type type, unsigned layout, unsigned transform) {
  vaskor_error error;
  uint64_t most = 0;
  size_t written = 0;
  vaskor_status s = vaskor_frame_max_size(type, 0, (vaskor_layout)layout, &most, &error);
  if (s == VASKOR_OK) {
    void *out = malloc((size_t)most);
    s = out == NULL ? VASKOR_OUT_OF_MEMORY
                    : vaskor_frame_encode(type, NULL, 0, (vaskor_layout)layout, (vaskor_transform)transform, out,
                                          (size_t)most, &written, &error);
    free(out);
  }
  if (s == VASKOR_OK) return 0;
  char text[VASKOR_MESSAGE_SIZE + 120];
  snprintf(text, sizeof text, "vaskor filter: options (layout %u, transform %u) refused: %s", layout, transform,
           s == VASKOR_OUT_OF_MEMORY ? "no memory" : error.message);
  record_push("set_local", vh5.setlocal, text);
  return 1;
}

static vh5_status set_local(vh5_id dcpl, vh5_id type, vh5_id space) {
  (void)space;
  unsigned flags = 0;
  unsigned cd[RECORD_SIZE] = {0};
  size_t n = RECORD_SIZE;
  if (vh5.pget_filter_by_id2(dcpl, VASKOR_H5_FILTER_ID, &flags, &n, cd, 0, NULL, NULL) < 0) return -1;
  if (n > RECORD_SIZE) {
    record_push(__func__, vh5.setlocal, "vaskor filter: options are (layout, transform)");
    return -1;
  }
  /* A dataset made like another brings that one's whole record: only the
   * writer's two options are kept from it. */
  if (n <= RECORD_LAYOUT) cd[RECORD_LAYOUT] = 0;
  if (n <= RECORD_TRANSFORM) cd[RECORD_TRANSFORM] = 0;
  record_defaults(&cd[RECORD_LAYOUT], &cd[RECORD_TRANSFORM]);
  const unsigned size = (unsigned)vh5.tget_size(type);
  cd[RECORD_ITEM_SIZE] = size;
  cd[RECORD_SIGNED] = vh5.tget_sign(type) == VH5_SIGN_2;
  cd[RECORD_BIG_ENDIAN] = vh5.tget_order(type) == VH5_ORDER_BE;
  cd[RECORD_FRAME_VERSION] = layout_version(cd[RECORD_LAYOUT]);
  if (options_refused((vaskor_type)(size | (cd[RECORD_SIGNED] ? 0 : 0x10)), cd[RECORD_LAYOUT],
                      cd[RECORD_TRANSFORM]))
    return -1;
  return vh5.pmodify_filter(dcpl, VASKOR_H5_FILTER_ID, flags, RECORD_SIZE, cd);
}

static const vh5_class vaskor_class = {
    VH5_CLASS_VERSION,
    VASKOR_H5_FILTER_ID,
    1, /* encoder present */
    1, /* decoder present */
    "vaskor frames (provisional id; see the vaskor README)",
    can_apply,
    set_local,
    h5vaskor_filter,
};

EXPORT int H5PLget_plugin_type(void) { return VH5_PLUGIN_FILTER; }

/* HDF5's plugin loader calls this from inside the HDF5 library that then
 * uses the filter: the functions are taken from that library. */
EXPORT __attribute__((noinline)) const void *H5PLget_plugin_info(void) {
  char why[640];
  if (vh5_bind_caller(__builtin_return_address(0), why, sizeof why)) return &vaskor_class;
  /* Not bound to the caller, so not on its error stack: HDF5 reports the
   * plugin as failed, and this says why. */
  fprintf(stderr, "%s\n", why);
  return NULL;
}

/* Registers the filter with the HDF5 that `library` (loaded in this
 * process; h5py's h5z module, or HDF5 itself) links: 0 on success, -1 with
 * the reason in `why`. */
EXPORT int h5vaskor_register(const char *library, char *why, size_t why_size) {
  if (library == NULL || why == NULL || why_size == 0) return -1;
  why[0] = '\0';
  if (!vh5_bind_library(library, why, why_size)) return -1;
  if (vh5.zregister(&vaskor_class) < 0) {
    snprintf(why, why_size, "vaskor filter: H5Zregister refused the filter (HDF5's error stack says why)");
    return -1;
  }
  return 0;
}

EXPORT int h5vaskor_filter_id(void) { return VASKOR_H5_FILTER_ID; }

/* The name of value `value` of option `option` (0 layout, 1 transform, the
 * places in cd_values), from the frame table; NULL when it names none. */
EXPORT const char *h5vaskor_option_name(unsigned option, unsigned value) {
  if (option == RECORD_LAYOUT) return vaskor_layout_name((vaskor_layout)value);
  if (option == RECORD_TRANSFORM) return vaskor_transform_name((vaskor_transform)value);
  return NULL;
}
