// What the library does to the process and to each calling thread: the
// signal handler, the per-thread attach that every module call begins with,
// and the lock guarding memory shared between threads.
#pragma once

#include <cstdint>

namespace pybinding {

// When this thread was attached to the runtime: not yet, at load (the
// thread that loaded the library), or by its first module call.
enum class ThreadAttachment : uint8_t { NotYet, AtLoad, OnFirstCall };

// What a module call keeps of its thread, in one record so that the call
// reaches it with one thread-local lookup.
struct ThreadRecord {
  // The highest address seen: the stack grows downwards.
  uintptr_t stackBottom = 0;
  // Set by the thread's first module call.
  bool attached = false;
};
inline thread_local ThreadRecord threadRecord;

// The highest address seen on this thread wins: the stack grows downwards.
void recordStackBottom(const void* local) noexcept;

// Start-up for the thread that loads the library: its stack bottom and its
// attachment. `local` is the address of a start-up local.
void startLoadingThread(const void* local) noexcept;

// SIGINT, SIGSEGV, SIGABRT, SIGFPE and SIGILL get the handler, in that
// order, unless already ignored; SIGPIPE is ignored. Earlier handlers are
// dropped.
void installSignalHandlers() noexcept;

// Writes the signal's message, restores the default action and re-raises.
void signalHandler(int sig) noexcept;

void initSharedLock() noexcept;

// Once per thread: a thread the runtime does not know yet is attached.
[[gnu::noinline]] void setUpThread() noexcept;

// First step of every module call; `local` lies in the caller's frame.
inline void attachThread(const void* local) noexcept {
  ThreadRecord& thread = threadRecord;
  const auto addr = reinterpret_cast<uintptr_t>(local);
  if (addr > thread.stackBottom) thread.stackBottom = addr;
  if (!thread.attached) [[unlikely]] {
    thread.attached = true;
    setUpThread();
  }
}

ThreadAttachment threadAttachment() noexcept;
const void* threadStackBottom() noexcept;

}  // namespace pybinding
