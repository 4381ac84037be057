/* HDF5's functions and error codes, taken at run time from the HDF5 library
 * that uses the filter: the one whose plugin loader called it, or the one a
 * registration names. Bound once per process; a second, different HDF5 is
 * refused, since the filter's callbacks carry no word of which called. */
#ifndef H5VASKOR_HDF5_BIND_H
#define H5VASKOR_HDF5_BIND_H

#include "h5filter/hdf5_decl.h"

typedef struct vh5_api {
#define VH5_FIELD_(field, name, ret, params) ret(*field) params;
  VH5_FUNCTIONS(VH5_FIELD_)
#undef VH5_FIELD_
#define VH5_ID_FIELD_(field, name) vh5_id field;
  VH5_ERROR_IDS(VH5_ID_FIELD_)
#undef VH5_ID_FIELD_
} vh5_api;

/* Filled in by a successful bind, and not changed after. */
extern vh5_api vh5;

/* Binds to the library `path` names, which must already be loaded in this
 * process: its symbols and those of its dependencies (h5py's h5z module
 * finds the HDF5 it was built with). 1 on success; 0 with the reason in
 * `why` otherwise. */
int vh5_bind_library(const char *path, char *why, size_t why_size);

/* Binds to the loaded object whose code holds `address` (the return
 * address of HDF5's call into the plugin entry). */
int vh5_bind_caller(const void *address, char *why, size_t why_size);

/* 1 once bound, so that HDF5's error stack can take a message. */
int vh5_bound(void);

#endif
