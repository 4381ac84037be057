// The integer items of an exported buffer as the encoders' signed 64-bit
// values: read in place when they already are that, widened otherwise.
// Nothing here calls the host, so it runs with the interpreter lock released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace pybinding {

enum class ItemKind : uint8_t { I8, U8, I16, U16, I32, U32, I64, U64 };

// The item size of a struct or array.array typecode on LP64 Linux, under
// the "=" prefix when `standard` (where 'l' is 4 bytes); 'u' is
// array.array's UCS4 character. 0 for any other code, and for a code of no
// integer when `integersOnly`.
constexpr size_t typecodeSize(char code, bool standard, bool integersOnly) {
  switch (code) {
    case 'b': case 'B': return 1;
    case 'h': case 'H': return 2;
    case 'i': case 'I': return 4;
    case 'l': case 'L': return standard ? 4 : 8;
    case 'q': case 'Q': return 8;
    case 'c': return integersOnly ? 0 : 1;
    case 'f': case 'u': return integersOnly ? 0 : 4;
    case 'd': return integersOnly ? 0 : 8;
    default: return 0;
  }
}

// The kind of a buffer format of native byte order ("@" or "=" prefix, or
// none) whose size matches `itemSize`; false for any other format.
bool intItemKind(const char* format, size_t itemSize, ItemKind& kind);

// "format 'q' with item size 8", for the messages of a refused buffer.
std::string describeFormat(const char* format, size_t itemSize);

class IntItems {
 public:
  // Reads the `n` items at `data`, and whether an unsigned item exceeds
  // 2^63 - 1.
  void read(const uint8_t* data, size_t n, ItemKind kind);

  std::span<const int64_t> values() const { return values_; }
  bool outOfRange() const { return outOfRange_; }

 private:
  std::unique_ptr<int64_t[]> owned_;
  std::span<const int64_t> values_;
  bool outOfRange_ = false;
};

}  // namespace pybinding
