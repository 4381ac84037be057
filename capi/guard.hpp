// The C boundary: every entry runs its body inside guard, which turns any
// C++ failure (memory exhaustion and foreign exceptions included) into a
// status and a message in the caller's vaskor_error. Nothing unwinds out.
#pragma once

#include "vaskor/vaskor.h"

namespace vaskor::capi {

// Fills `error` when given (the message cut to fit) and returns `status`.
vaskor_status report(vaskor_error* error, vaskor_status status, const char* kind, const char* message) noexcept;

// The status of the failure being handled; call only inside a handler.
vaskor_status reportCurrent(vaskor_error* error) noexcept;

// A null pointer where the call needs storage: VASKOR_INVALID_ARGUMENT.
void requirePointer(const void* p, const char* what);

template <class F>
vaskor_status guard(vaskor_error* error, F&& body) noexcept {
  try {
    body();
  } catch (...) {
    return reportCurrent(error);
  }
  return report(error, VASKOR_OK, nullptr, "");
}

}  // namespace vaskor::capi
