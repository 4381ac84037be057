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

// The size of an item of struct or array.array typecode `code` on LP64
// Linux, under the "=" prefix when `standard` (where 'l' is 4 bytes); 'u'
// is array.array's UCS4 character. 0 for any other code.
size_t typecodeSize(char code, bool standard = false);
// Whether `code` is one of the integer typecodes.
bool intTypecode(char code);

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
