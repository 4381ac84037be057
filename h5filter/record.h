/* What the filter keeps in a dataset's cd_values: the first two a writer may
 * set (h5py compression_opts, H5Pset_filter, h5repack -f UD=), the rest
 * set_local fills in for the reader from the dataset's type. */
#ifndef H5VASKOR_RECORD_H
#define H5VASKOR_RECORD_H

#include <stddef.h>

#include "h5filter/hdf5_bind.h"
#include "vaskor/vaskor.h"

enum {
  RECORD_LAYOUT,        /* vaskor_layout; 0 asks for the default, blocked */
  RECORD_TRANSFORM,     /* vaskor_transform; 0 asks for the layout's default */
  RECORD_ITEM_SIZE,     /* bytes: 1, 2, 4 or 8 */
  RECORD_SIGNED,        /* 1 signed, 0 unsigned */
  RECORD_BIG_ENDIAN,    /* 1 when the file holds the values big-endian */
  RECORD_FRAME_VERSION, /* the frame version the layout writes */
  RECORD_SIZE
};

typedef struct record {
  vaskor_type type;
  vaskor_layout layout;
  vaskor_transform transform;
  size_t item_size;
  int swap; /* the file's byte order is not this machine's */
} record;

/* The record of a complete cd_values; 0 (error pushed) when it is not one. */
int record_read(size_t n, const unsigned cd_values[], record *r);

/* The frame version a layout writes, from the table; 0 for no layout. */
unsigned layout_version(unsigned layout);

/* The options a writer gave with the defaults filled in: blocked with its
 * per-block choice when no layout is named, a version 1 layout's transform
 * frame of reference. */
void record_defaults(unsigned *layout, unsigned *transform);

/* Pushes `message` onto HDF5's error stack under the pipeline's errors
 * (`minor` one of vh5's codes); a no-op before the binding. */
void record_push(const char *func, vh5_id minor, const char *message);

/* The filter itself (chunk.c). */
size_t h5vaskor_filter(unsigned flags, size_t cd_nelmts, const unsigned cd_values[], size_t nbytes,
                       size_t *buf_size, void **buf);

#endif
