// Native work with the interpreter lock released. While it is released no
// Python API is called, not even a reference count changed, so a native
// failure is only caught there and raised again once the lock is back.
#pragma once

#include <cstddef>
#include <exception>

#include "pybinding/py_lib.hpp"

namespace pybinding {

// Below this many bytes the lock's round trip costs more than it frees.
constexpr size_t kUnlockedBytes = 64 * 1024;

inline bool hostCanUnlock() {
  return pyLib->PyEval_SaveThread != nullptr && pyLib->PyEval_RestoreThread != nullptr;
}

// Runs `work`, with the lock released when `unlock` is set.
template <class Work>
void runUnlocked(bool unlock, Work&& work) {
  if (!unlock) return work();
  void* state = pyLib->PyEval_SaveThread();
  std::exception_ptr failure;
  try {
    work();
  } catch (...) {
    failure = std::current_exception();
  }
  pyLib->PyEval_RestoreThread(state);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace pybinding
