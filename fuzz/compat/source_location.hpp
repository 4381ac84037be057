// Clang 14 with libstdc++ 12 has no std::source_location (the library
// needs __builtin_source_location, which clang gained in 15), so the fuzz
// build, and only it, force-includes this stand-in built on the older
// location builtins that both compilers have.
#pragma once

#if defined(__clang__) && !__has_builtin(__builtin_source_location)
#include <cstdint>
#include <source_location>

namespace std {
struct source_location {
  static constexpr source_location current(const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION(),
                                           uint_least32_t line = __builtin_LINE(),
                                           uint_least32_t column = __builtin_COLUMN()) noexcept {
    source_location loc;
    loc.file_ = file;
    loc.function_ = function;
    loc.line_ = line;
    loc.column_ = column;
    return loc;
  }
  constexpr source_location() noexcept = default;
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr const char* function_name() const noexcept { return function_; }
  constexpr uint_least32_t line() const noexcept { return line_; }
  constexpr uint_least32_t column() const noexcept { return column_; }

 private:
  const char* file_ = "";
  const char* function_ = "";
  uint_least32_t line_ = 0;
  uint_least32_t column_ = 0;
};
}  // namespace std
#endif
