#include "pybinding/process_hooks.hpp"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>

namespace pybinding {

namespace {

thread_local ThreadAttachment attachment = ThreadAttachment::NotYet;

pthread_mutex_t sharedMemoryLock;

const char* signalMessage(int sig) noexcept {
  switch (sig) {
    case SIGINT: return "SIGINT: Interrupted by Ctrl-C.\n";
    case SIGSEGV: return "SIGSEGV: Illegal storage access. (Attempt to read from nil?)\n";
    case SIGABRT: return "SIGABRT: Abnormal termination.\n";
    case SIGFPE: return "SIGFPE: Arithmetic error.\n";
    case SIGILL: return "SIGILL: Illegal operation.\n";
    default: return nullptr;
  }
}

// Straight to the descriptor: the crashed code may hold the stream's lock,
// and a stream write would wait for it forever.
void writeToStderr(const char* text, size_t size) noexcept {
  while (size > 0) {
    const ssize_t n = write(STDERR_FILENO, text, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    size -= static_cast<size_t>(n);
  }
}

extern "C" void onSignal(int sig) { signalHandler(sig); }

// A process started with a signal ignored (a background job's SIGINT, a
// nohup-style launcher) was told not to be ended by it.
bool ignored(int sig) noexcept {
  struct sigaction current {};
  return sigaction(sig, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
         current.sa_handler == SIG_IGN;
}

}  // namespace

void recordStackBottom(const void* local) noexcept {
  const auto addr = reinterpret_cast<uintptr_t>(local);
  if (addr > threadRecord.stackBottom) threadRecord.stackBottom = addr;
}

void startLoadingThread(const void* local) noexcept {
  recordStackBottom(local);
  attachment = ThreadAttachment::AtLoad;
}

void installSignalHandlers() noexcept {
  for (int sig : {SIGINT, SIGSEGV, SIGABRT, SIGFPE, SIGILL})
    if (!ignored(sig)) std::signal(sig, onSignal);
  std::signal(SIGPIPE, SIG_IGN);
}

void signalHandler(int sig) noexcept {
  if (const char* msg = signalMessage(sig)) writeToStderr(msg, std::strlen(msg));
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

void initSharedLock() noexcept { pthread_mutex_init(&sharedMemoryLock, nullptr); }

void setUpThread() noexcept {
  if (attachment != ThreadAttachment::NotYet) return;
  int local = 0;
  recordStackBottom(&local);
  attachment = ThreadAttachment::OnFirstCall;
}

ThreadAttachment threadAttachment() noexcept { return attachment; }
const void* threadStackBottom() noexcept { return reinterpret_cast<const void*>(threadRecord.stackBottom); }

}  // namespace pybinding
