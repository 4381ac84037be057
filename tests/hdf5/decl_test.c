/* The filter's own declarations of HDF5 (h5filter/hdf5_decl.h) against
 * HDF5's real headers, at compile time: every type, value, structure layout
 * and function type. Then its binding against the real library at run
 * time: refusals first (a library not loaded, one without HDF5), then the
 * bind through HDF5's own file, every function and error code compared with
 * what the linker resolved, and a second, other library refused. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <hdf5.h>
#include <H5PLextern.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "h5filter/hdf5_bind.h"

#define SAME_TYPE(a, b) _Static_assert(__builtin_types_compatible_p(a, b), #a " is not " #b)
#define SAME_VALUE(a, b) _Static_assert((a) == (b), #a " is not " #b)
SAME_TYPE(vh5_id, hid_t);
SAME_TYPE(vh5_status, herr_t);
SAME_TYPE(vh5_tri, htri_t);
SAME_TYPE(vh5_filter_id, H5Z_filter_t);
SAME_TYPE(vh5_can_apply_fn, H5Z_can_apply_func_t);
SAME_TYPE(vh5_set_local_fn, H5Z_set_local_func_t);
SAME_TYPE(vh5_filter_fn, H5Z_func_t);
SAME_VALUE(VH5_DEFAULT_STACK, H5E_DEFAULT);
SAME_VALUE(VH5_FLAG_MANDATORY, H5Z_FLAG_MANDATORY);
SAME_VALUE(VH5_FLAG_OPTIONAL, H5Z_FLAG_OPTIONAL);
SAME_VALUE(VH5_FLAG_REVERSE, H5Z_FLAG_REVERSE);
SAME_VALUE(VH5_CLASS_VERSION, H5Z_CLASS_T_VERS);
SAME_VALUE(VH5_INTEGER, H5T_INTEGER);
SAME_VALUE(VH5_ORDER_LE, H5T_ORDER_LE);
SAME_VALUE(VH5_ORDER_BE, H5T_ORDER_BE);
SAME_VALUE(VH5_ORDER_NONE, H5T_ORDER_NONE);
SAME_VALUE(VH5_SIGN_2, H5T_SGN_2);
SAME_VALUE(VH5_PLUGIN_FILTER, H5PL_TYPE_FILTER);
_Static_assert(H5I_UNINIT < 0 && H5I_BADID < 0 && H5I_ERROR_CLASS > 0 && H5I_ERROR_MSG > 0,
               "H5Iget_type's answer for an unknown id is not negative");
SAME_VALUE(sizeof(vh5_class), sizeof(H5Z_class2_t));
#define SAME_FIELD(f)                                                     \
  SAME_VALUE(offsetof(vh5_class, f), offsetof(H5Z_class2_t, f));          \
  SAME_TYPE(__typeof__(((vh5_class *)0)->f), __typeof__(((H5Z_class2_t *)0)->f))
SAME_FIELD(version);
SAME_FIELD(id);
SAME_FIELD(encoder_present);
SAME_FIELD(decoder_present);
SAME_FIELD(name);
SAME_FIELD(can_apply);
SAME_FIELD(set_local);
SAME_FIELD(filter);
/* The plugin entries' types, as H5PLextern.h declares them. */
SAME_TYPE(__typeof__(H5PLget_plugin_type()), int);
SAME_TYPE(__typeof__(&H5PLget_plugin_info), const void *(*)(void));

/* Each function's type: an incompatible pointer is an error in this build. */
#define SAME_FUNCTION_(field, name, ret, params) static ret(*const field##_as_declared) params = name;
VH5_FUNCTIONS(SAME_FUNCTION_)
#define SAME_ID_(field, name) static const hid_t *const field##_as_declared = &name;
VH5_ERROR_IDS(SAME_ID_)

static int failures;

static void check(int ok, const char *what) {
  printf("%s  %s\n", ok ? "ok  " : "FAIL", what);
  failures += !ok;
}

static void refused(const char *path, const char *said) {
  char why[640] = "";
  char what[800];
  const int ok = vh5_bind_library(path, why, sizeof why);
  snprintf(what, sizeof what, "%s refused: %s", path, why);
  check(!ok && strstr(why, said) != NULL && !vh5_bound(), what);
}

int main(void) {
  refused("libvaskor-not-here.so", "is not loaded in this process");
  refused("libm.so.6", "has no H5open");

  Dl_info info;
  char why[640] = "";
  check(dladdr((const void *)&H5open, &info) != 0, "dladdr finds HDF5's file");
  check(vh5_bind_library(info.dli_fname, why, sizeof why) && vh5_bound(), info.dli_fname);
  check(vh5_bind_library(info.dli_fname, why, sizeof why), "the same library again");
#define SAME_ADDRESS_(field, name, ret, params) check(vh5.field == field##_as_declared, #name);
  VH5_FUNCTIONS(SAME_ADDRESS_)
#define SAME_ID_VALUE_(field, name) check(vh5.field == *field##_as_declared && vh5.field > 0, #name);
  VH5_ERROR_IDS(SAME_ID_VALUE_)
  check(!vh5_bind_library("libm.so.6", why, sizeof why) && strstr(why, "already serving") != NULL, why);

  unsigned major, minor, release;
  H5get_libversion(&major, &minor, &release);
  printf("%d failed; declarations checked against HDF5 %u.%u.%u\n", failures, major, minor, release);
  return failures != 0;
}
