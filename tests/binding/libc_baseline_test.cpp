// The unwinder's object lookup that the module carries, answered from program
// headers, against the C library's own answer on this machine.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#ifdef DLFO_EH_SEGMENT_TYPE
extern "C" int __wrap__dl_find_object(void* address, dl_find_object* result);

namespace {

int dataInExecutable = 0;
int functionInExecutable() { return dataInExecutable; }

TEST(LibcBaseline, FindsWhatTheCLibraryFinds) {
  int onStack = 0;
  void* onHeap = std::malloc(64);
  const struct {
    const char* what;
    void* address;
  } cases[] = {
      {"function in the executable", reinterpret_cast<void*>(&functionInExecutable)},
      {"data in the executable", &dataInExecutable},
      {"function in the C library", reinterpret_cast<void*>(&std::fputs)},
      {"function in the loader", dlsym(RTLD_DEFAULT, "__tls_get_addr")},
      {"stack", &onStack},
      {"heap", onHeap},
      {"null", nullptr},
  };
  int found = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dl_find_object want{}, got{};
    const int status = _dl_find_object(c.address, &want);
    ASSERT_EQ(__wrap__dl_find_object(c.address, &got), status);
    if (status != 0) continue;
    ++found;
    // The unwinder reads the unwind table; the mapped range it names may be
    // the object's or, as glibc answers under qemu-aarch64, one segment's.
    EXPECT_EQ(got.dlfo_eh_frame, want.dlfo_eh_frame);
    for (const dl_find_object* range : {&got, &want}) {
      EXPECT_LE(range->dlfo_map_start, c.address);
      EXPECT_GT(range->dlfo_map_end, c.address);
    }
  }
  EXPECT_EQ(found, 4);
  std::free(onHeap);
}

}  // namespace
#endif
