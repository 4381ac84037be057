/* What the filter keeps in a dataset's cd_values: the first two a writer may
 * set (h5py compression_opts, H5Pset_filter), the rest set_local fills in
 * for the reader from the dataset's type. */
#ifndef H5VASKOR_RECORD_H
#define H5VASKOR_RECORD_H

#include <hdf5.h>
#include <stddef.h>

#include "vaskor/vaskor.h"

enum {
  RECORD_LAYOUT,       /* vaskor_layout; 0 means bit-packed */
  RECORD_TRANSFORM,    /* vaskor_transform; 0 means frame of reference */
  RECORD_ITEM_SIZE,    /* bytes: 1, 2, 4 or 8 */
  RECORD_SIGNED,       /* 1 signed, 0 unsigned */
  RECORD_BIG_ENDIAN,   /* 1 when the file holds the values big-endian */
  RECORD_FRAME_VERSION, /* the frame version written */
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

/* A layout or transform a writer may give (0: the default). */
int layout_ok(unsigned v);
int transform_ok(unsigned v);

/* Pushes `message` onto HDF5's error stack under the pipeline's errors. */
void record_push(const char *func, hid_t minor, const char *message);

/* The filter itself (chunk.c). */
size_t h5vaskor_filter(unsigned flags, size_t cd_nelmts, const unsigned cd_values[], size_t nbytes,
                       size_t *buf_size, void **buf);

#endif
