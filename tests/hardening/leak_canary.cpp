// Built like the module (static C++ runtime, hidden symbols) and loaded by
// ctypes into an interpreter under the sanitizer run: its deliberate leaks
// must be reported, proving the interpreter suppressions hide none of ours.
#include <cstdint>
#include <vector>

namespace {
std::vector<int64_t>* volatile sink;
}

// Drops `count` vectors without deleting them. Many, so a stale copy of a
// pointer left on the stack cannot keep them all reachable.
extern "C" __attribute__((visibility("default"))) int64_t hardening_leak_canary(int64_t count) {
  int64_t made = 0;
  for (int64_t i = 0; i < count; ++i) {
    sink = new std::vector<int64_t>(100, i);
    made += static_cast<int64_t>(sink->size());
    sink = nullptr;
  }
  return made;
}
