// The unwinder's object lookup that the module carries, answered from program
// headers, against the C library's own answer on this machine.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
int __wrap___isoc99_sscanf(const char* text, const char* format, ...);
void* __wrap_memcpy(void* to, const void* from, std::size_t n);
}

namespace {

// The base-version scanner the module reads the host's version with, against
// the C library's current one, on the texts hosts give and some they don't.
TEST(LibcBaseline, ScansVersionsAsTheCurrentScannerDoes) {
  for (const char* text : {"3.12.1 (main, Dec  8 2026) [GCC 12.2.0]", "2.7.18", "3.12", "3",
                           "Python 3.12.1", "", " 3.14.0+", "-1.-2.-3"}) {
    SCOPED_TRACE(text);
    int want[3] = {0, 0, 0}, got[3] = {0, 0, 0};
    const int wantCount = std::sscanf(text, "%d.%d.%d", &want[0], &want[1], &want[2]);
    EXPECT_EQ(__wrap___isoc99_sscanf(text, "%d.%d.%d", &got[0], &got[1], &got[2]), wantCount);
    EXPECT_EQ(std::memcmp(got, want, sizeof got), 0);
  }
}

TEST(LibcBaseline, BaseMemcpyCopies) {
  char from[64], to[64] = {};
  for (int i = 0; i < 64; ++i) from[i] = static_cast<char>(i * 37 + 1);
  for (std::size_t n : {0, 1, 7, 33, 64}) {
    std::memset(to, 0, sizeof to);
    EXPECT_EQ(__wrap_memcpy(to, from, n), to);
    EXPECT_EQ(std::memcmp(to, from, n), 0);
    if (n < sizeof to) {
      EXPECT_EQ(to[n], 0);
    }
  }
}

}  // namespace

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
