// pyvaskor.so has to load on the oldest glibc its wheel is tagged for
// (VASKOR_MIN_GLIBC in cmake/libc_baseline.cmake), but it is built against a
// newer one, so memcpy, sscanf, dlopen, dlsym and the statically linked C++
// and GCC runtimes would bind to symbol versions that old systems lack. The
// module's link (cmake/libc_baseline.cmake) redirects those references
// here: to the same functions at the architecture's base version, which
// every glibc has, or to stand-ins built from such functions.
#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#if defined(__x86_64__)
#define LIBC_BASE_VERSION "GLIBC_2.2.5"
#elif defined(__aarch64__)
#define LIBC_BASE_VERSION "GLIBC_2.17"
#else
#error "base glibc symbol version not known for this architecture"
#endif

// base_NAME is NAME at the base version. Old glibc keeps dlopen and dlsym in
// libdl.so.2 and the pthread functions in libpthread.so.0, so the module
// needs both libraries; on glibc 2.34 and later they are empty stubs.
#define AT_BASE_VERSION(local, name) \
  __asm__(".symver " #local ", " #name "@" LIBC_BASE_VERSION)

extern "C" {
void* base_dlopen(const char* file, int mode);
void* base_dlsym(void* handle, const char* name);
int base_pthread_once(pthread_once_t* once, void (*init)());
int base_pthread_key_create(pthread_key_t* key, void (*destroy)(void*));
void* base_memcpy(void* to, const void* from, std::size_t n);
int base_vsscanf(const char* text, const char* format, std::va_list args);
}
AT_BASE_VERSION(base_dlopen, dlopen);
AT_BASE_VERSION(base_dlsym, dlsym);
AT_BASE_VERSION(base_pthread_once, pthread_once);
AT_BASE_VERSION(base_pthread_key_create, __pthread_key_create);
AT_BASE_VERSION(base_memcpy, memcpy);
AT_BASE_VERSION(base_vsscanf, vsscanf);

extern "C" {

void* __wrap_dlopen(const char* file, int mode) { return base_dlopen(file, mode); }

void* __wrap_dlsym(void* handle, const char* name) { return base_dlsym(handle, name); }

// The GCC runtime takes __pthread_key_create being present to mean that
// threads are in use; a host interpreter may start threads at any time.
int __wrap_pthread_once(pthread_once_t* once, void (*init)()) {
  return base_pthread_once(once, init);
}

int __wrap___pthread_key_create(pthread_key_t* key, void (*destroy)(void*)) {
  return base_pthread_key_create(key, destroy);
}

// memcpy's base version copies like memmove, which every caller may use.
void* __wrap_memcpy(void* to, const void* from, std::size_t n) { return base_memcpy(to, from, n); }

// The C99 scanf family came later; the base one reads %d the same way, and
// the version text's %d is all the module asks of it.
int __wrap___isoc99_sscanf(const char* text, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  const int converted = base_vsscanf(text, format, args);
  va_end(args);
  return converted;
}

// Never claims a single thread: libstdc++ then always uses atomic updates.
char __wrap___libc_single_threaded = 0;

}  // extern "C"

#ifdef DLFO_EH_SEGMENT_TYPE
namespace {

struct FindRequest {
  std::uintptr_t address;
  dl_find_object* result;
};

// Claims the object whose mapping holds the address and records its range
// and its unwind table (the unwinder reads only the latter).
int claimObject(dl_phdr_info* info, std::size_t, void* data) {
  auto* request = static_cast<FindRequest*>(data);
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  std::uintptr_t start = UINTPTR_MAX, end = 0, ehFrame = 0;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& segment = info->dlpi_phdr[i];
    const std::uintptr_t at = info->dlpi_addr + segment.p_vaddr;
    if (segment.p_type == DLFO_EH_SEGMENT_TYPE) ehFrame = at;
    if (segment.p_type != PT_LOAD) continue;
    start = std::min(start, at & ~(page - 1));
    end = std::max(end, at + segment.p_memsz);
  }
  if (request->address < start || request->address >= end) return 0;
  *request->result = dl_find_object{};
  request->result->dlfo_map_start = reinterpret_cast<void*>(start);
  request->result->dlfo_map_end = reinterpret_cast<void*>(end);
  request->result->dlfo_eh_frame = reinterpret_cast<void*>(ehFrame);
  return 1;
}

int findObject(void* address, dl_find_object* result) {
  FindRequest request{reinterpret_cast<std::uintptr_t>(address), result};
  return dl_iterate_phdr(claimObject, &request) != 0 ? 0 : -1;
}

}  // namespace

// What the GCC unwinder asks for every frame, answered from the loaded
// objects' program headers: 0 when an object holds the address, else -1.
// Nearly every frame it asks about is in this module, which stays loaded,
// so this module's answer is kept.
extern "C" int __wrap__dl_find_object(void* address, dl_find_object* result) {
  static const dl_find_object self = [] {
    dl_find_object found{};
    findObject(reinterpret_cast<void*>(&findObject), &found);
    return found;
  }();
  if (address >= self.dlfo_map_start && address < self.dlfo_map_end) {
    *result = self;
    return 0;
  }
  return findObject(address, result);
}
#endif
