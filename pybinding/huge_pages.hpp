// Storage the host has just allocated for a large result and nothing has
// touched yet. Above the allocator's mmap threshold each call gets fresh
// pages, and a fault per 4 KiB page costs more than writing the page (about
// 12 us each on some virtual machines); asking for huge pages before the
// first write makes it one fault per 2 MiB, as numpy asks for its arrays.
// glibc raises that threshold to the size of a freed block (up to 32 MiB),
// so the storage may instead be carved from its heap: the hint then stays
// on that part of the heap, which is what huge pages always on give anyway.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

namespace pybinding {

inline void adviseHugePages(void* storage, size_t size) {
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (size < 2 * kHuge) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(storage) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(storage) + size) & ~(kHuge - 1);
  // Only a hint: a kernel without it, or one that refuses, leaves 4 KiB pages.
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

}  // namespace pybinding
