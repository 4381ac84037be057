/* The little of HDF5's C interface the filter uses, declared here instead of
 * taken from HDF5's headers: the filter links no HDF5 and takes the
 * functions from the library that loads or registers it (hdf5_bind.h), so
 * one build serves HDF5 1.10 to 2.x and h5py's own copy. Every type, value
 * and layout below is that of HDF5 1.10 and later (hid_t became 64-bit in
 * 1.10); tests/hdf5/decl_test.c compares each with the real header. */
#ifndef H5VASKOR_HDF5_DECL_H
#define H5VASKOR_HDF5_DECL_H

#include <stddef.h>
#include <stdint.h>

typedef int64_t vh5_id;    /* hid_t */
typedef int vh5_status;    /* herr_t: negative on failure */
typedef int vh5_tri;       /* htri_t: negative, 0 or positive */
typedef int vh5_filter_id; /* H5Z_filter_t */

#define VH5_DEFAULT_STACK 0 /* H5E_DEFAULT */

/* H5Z flags */
#define VH5_FLAG_MANDATORY 0x0000
#define VH5_FLAG_OPTIONAL 0x0001
#define VH5_FLAG_REVERSE 0x0100
#define VH5_CLASS_VERSION 1 /* H5Z_CLASS_T_VERS */

/* H5T_class_t, H5T_order_t, H5T_sign_t: the values asked about. */
#define VH5_INTEGER 0
#define VH5_ORDER_LE 0
#define VH5_ORDER_BE 1
#define VH5_ORDER_NONE 4
#define VH5_SIGN_2 1

/* H5PL_type_t */
#define VH5_PLUGIN_FILTER 0

/* H5I_type_t: H5Iget_type gives a positive type for an id it knows. */

typedef vh5_tri (*vh5_can_apply_fn)(vh5_id dcpl, vh5_id type, vh5_id space);
typedef vh5_status (*vh5_set_local_fn)(vh5_id dcpl, vh5_id type, vh5_id space);
typedef size_t (*vh5_filter_fn)(unsigned flags, size_t cd_nelmts, const unsigned cd_values[], size_t nbytes,
                                size_t *buf_size, void **buf);

/* H5Z_class2_t */
typedef struct vh5_class {
  int version;
  vh5_filter_id id;
  unsigned encoder_present;
  unsigned decoder_present;
  const char *name;
  vh5_can_apply_fn can_apply;
  vh5_set_local_fn set_local;
  vh5_filter_fn filter;
} vh5_class;

/* The functions, as X(field, HDF5 name, return type, parameters). */
#define VH5_FUNCTIONS(X)                                                                              \
  X(open, H5open, vh5_status, (void))                                                                 \
  X(zregister, H5Zregister, vh5_status, (const void *cls))                                            \
  X(iget_type, H5Iget_type, int, (vh5_id id))                                                          \
  X(tget_class, H5Tget_class, int, (vh5_id type))                                                     \
  X(tget_size, H5Tget_size, size_t, (vh5_id type))                                                    \
  X(tget_order, H5Tget_order, int, (vh5_id type))                                                     \
  X(tget_sign, H5Tget_sign, int, (vh5_id type))                                                       \
  X(pget_filter_by_id2, H5Pget_filter_by_id2, vh5_status,                                             \
    (vh5_id plist, vh5_filter_id filter, unsigned *flags, size_t *cd_nelmts, unsigned cd_values[],    \
     size_t namelen, char name[], unsigned *filter_config))                                           \
  X(pmodify_filter, H5Pmodify_filter, vh5_status,                                                     \
    (vh5_id plist, vh5_filter_id filter, unsigned flags, size_t cd_nelmts, const unsigned cd_values[])) \
  X(epush2, H5Epush2, vh5_status,                                                                     \
    (vh5_id stack, const char *file, const char *func, unsigned line, vh5_id cls, vh5_id major,       \
     vh5_id minor, const char *format, ...))                                                          \
  X(allocate_memory, H5allocate_memory, void *, (size_t size, _Bool clear))                           \
  X(free_memory, H5free_memory, vh5_status, (void *mem))

/* The error class and codes, global hid_t variables that H5open() sets, as
 * X(field, HDF5 name). A program linked with HDF5 that reads one holds its
 * own copy (a copy relocation), which is then the one HDF5 sets. */
#define VH5_ERROR_IDS(X)          \
  X(err_cls, H5E_ERR_CLS_g)       \
  X(pline, H5E_PLINE_g)           \
  X(cantfilter, H5E_CANTFILTER_g) \
  X(canapply, H5E_CANAPPLY_g)     \
  X(setlocal, H5E_SETLOCAL_g)     \
  X(cantalloc, H5E_CANTALLOC_g)

#endif
