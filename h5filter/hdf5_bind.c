/* Binding to the HDF5 in the process. dlsym on a library's handle searches
 * that library and then its dependencies, so a handle of h5py's h5z module
 * reaches the HDF5 h5py links, bundled or the system's. Handles are never
 * closed: the callbacks use the library for as long as the process lives. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include "h5filter/hdf5_bind.h"

vh5_api vh5;

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static void *bound_handle;
static int bound;
static char bound_path[512];

static int missing(char *why, size_t size, const char *name, const char *path) {
  snprintf(why, size, "vaskor filter: %s has no %s (not an HDF5 1.10 or later?)", path, name);
  return 0;
}

static int read_id(const vh5_api *api, void *handle, const char *name, vh5_id *id) {
  const vh5_id *places[2] = {dlsym(handle, name), dlsym(RTLD_DEFAULT, name)};
  for (int i = 0; i < 2; ++i)
    if (places[i] != NULL && *places[i] > 0 && api->iget_type(*places[i]) > 0) {
      *id = *places[i];
      return 1;
    }
  return 0;
}

/* Every function and error code, or none: vh5 is written only when all are
 * found and H5open() succeeded. */
static int resolve(void *handle, const char *path, char *why, size_t size) {
  vh5_api api;
  void *sym;
#define VH5_RESOLVE_(field, name, ret, params)                           \
  if ((sym = dlsym(handle, #name)) == NULL) return missing(why, size, #name, path); \
  memcpy(&api.field, &sym, sizeof sym);
  VH5_FUNCTIONS(VH5_RESOLVE_)
#undef VH5_RESOLVE_
  if (api.open() < 0) {
    snprintf(why, size, "vaskor filter: H5open() of %s failed", path);
    return 0;
  }
  /* Set by H5open(), so read only after it: the library's own variable,
   * or the program's copy of it, whichever holds an id the library knows. */
#define VH5_READ_ID_(field, name)                                      \
  if (!read_id(&api, handle, #name, &api.field)) return missing(why, size, #name, path);
  VH5_ERROR_IDS(VH5_READ_ID_)
#undef VH5_READ_ID_
  vh5 = api;
  return 1;
}

static int bind_handle(void *handle, const char *path, char *why, size_t size) {
  int ok;
  pthread_mutex_lock(&lock);
  if (bound) {
    /* The same HDF5 reached through another library (h5py's module after
     * the plugin loader, say) has the same functions. */
    void *open = dlsym(handle, "H5open");
    ok = handle == bound_handle || (open != NULL && memcmp(&open, &vh5.open, sizeof open) == 0);
    if (!ok)
      snprintf(why, size, "vaskor filter: already serving the HDF5 of %s; %s is another", bound_path, path);
  } else {
    ok = resolve(handle, path, why, size);
    if (ok) {
      bound_handle = handle;
      snprintf(bound_path, sizeof bound_path, "%s", path);
      __atomic_store_n(&bound, 1, __ATOMIC_RELEASE);
    }
  }
  pthread_mutex_unlock(&lock);
  return ok;
}

int vh5_bind_library(const char *path, char *why, size_t size) {
  void *handle = dlopen(path, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == NULL) {
    snprintf(why, size, "vaskor filter: %s is not loaded in this process", path);
    return 0;
  }
  return bind_handle(handle, path, why, size);
}

typedef struct lookup {
  const void *address;
  char path[512];
  int found;
} lookup;

static int holds_address(struct dl_phdr_info *info, size_t info_size, void *data) {
  (void)info_size;
  lookup *l = data;
  const uintptr_t a = (uintptr_t)l->address;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr) *p = &info->dlpi_phdr[i];
    const uintptr_t start = info->dlpi_addr + p->p_vaddr;
    if (p->p_type == PT_LOAD && a >= start && a - start < p->p_memsz) {
      snprintf(l->path, sizeof l->path, "%s", info->dlpi_name ? info->dlpi_name : "");
      l->found = 1;
      return 1;
    }
  }
  return 0;
}

int vh5_bind_caller(const void *address, char *why, size_t size) {
  lookup l = {address, "", 0};
  dl_iterate_phdr(holds_address, &l);
  if (!l.found) {
    snprintf(why, size, "vaskor filter: no loaded library holds the code that called it");
    return 0;
  }
  /* The program itself has no name: HDF5 linked statically into it. */
  void *handle = dlopen(l.path[0] ? l.path : NULL, RTLD_LAZY | RTLD_NOLOAD);
  if (handle == NULL) {
    snprintf(why, size, "vaskor filter: cannot reopen %s, the library that called it",
             l.path[0] ? l.path : "the program");
    return 0;
  }
  return bind_handle(handle, l.path[0] ? l.path : "the program", why, size);
}

int vh5_bound(void) { return __atomic_load_n(&bound, __ATOMIC_ACQUIRE); }
