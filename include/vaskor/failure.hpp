// Native failures: raised as C++ exceptions whose class tree mirrors the
// failure kinds, so a handler names a kind and catches everything below it.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace vaskor {

struct StackTraceEntry {
  const char* procname;
  int64_t line;
  const char* filename;
};

class Exception : public std::exception {
 public:
  const char* name = nullptr;  // kind name, set by the raise when still null
  std::string msg;
  std::vector<StackTraceEntry> trace;

  Exception() = default;
  explicit Exception(std::string m) : msg(std::move(m)) {}
  const char* what() const noexcept override { return msg.c_str(); }
};

class CatchableError : public Exception {
 public:
  using Exception::Exception;
};

class Defect : public Exception {
 public:
  using Exception::Exception;
};

class ValueError : public CatchableError {
 public:
  using CatchableError::CatchableError;
  static constexpr const char* kindName = "ValueError";
};

class AssertionDefect : public Defect {
 public:
  using Defect::Defect;
  static constexpr const char* kindName = "AssertionDefect";
};

class ArithmeticDefect : public Defect {
 public:
  using Defect::Defect;
  static constexpr const char* kindName = "ArithmeticDefect";
};

class OverflowDefect : public ArithmeticDefect {
 public:
  using ArithmeticDefect::ArithmeticDefect;
  static constexpr const char* kindName = "OverflowDefect";
};

// A raise site. Defaults to the caller's location, so every raise names one.
// The builtins serve both compilers (clang 14 lacks source_location's).
struct Site {
  const char* procname;
  const char* filename;
  int64_t line;

  static constexpr Site here(const char* procname = __builtin_FUNCTION(),
                             const char* filename = __builtin_FILE(), int line = __builtin_LINE()) {
    return {procname, filename, static_cast<int64_t>(line)};
  }
};

// Sets `name` when null, records the site when both names are given, throws.
template <class E>
[[noreturn]] void raise(E failure, Site site = Site::here()) {
  if (failure.name == nullptr) failure.name = E::kindName;
  if (site.procname != nullptr && site.filename != nullptr)
    failure.trace.push_back({site.procname, site.line, site.filename});
  throw failure;
}

template <class E>
[[noreturn]] void raise(std::string msg, Site site = Site::here()) {
  raise(E(std::move(msg)), site);
}

// Passes the failure being handled on, unchanged. Only valid inside a handler.
[[noreturn]] inline void reraise() { throw; }

// The internal consistency check: a false condition raises AssertionDefect
// with the check's text as message.
inline void check(bool cond, const char* text, Site site = Site::here()) {
  if (!cond) [[unlikely]]
    raise<AssertionDefect>(text, site);
}

// The report the unhandled-failure stop writes (at most 1999 characters).
std::string unhandledReport(const Exception& failure);

// Writes the report to standard error in one write and exits with status 1.
[[noreturn]] void unhandledFailure(const Exception& failure) noexcept;

// Writes "out of memory" and exits with status 1; makes no failure object.
[[noreturn]] void outOfMemoryStop() noexcept;

// An outermost native boundary: nothing may unwind past it into a C caller.
// A failure that reaches it found no handler, so it takes the stop.
template <class F>
auto outermost(F&& body) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (const Exception& failure) {
    unhandledFailure(failure);
  } catch (const std::bad_alloc&) {
    outOfMemoryStop();
  }
}

}  // namespace vaskor
