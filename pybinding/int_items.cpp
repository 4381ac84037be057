#include "pybinding/int_items.hpp"

#include <cstring>

namespace pybinding {

namespace {

ItemKind kindFor(char code, size_t size) {
  const bool isUnsigned = code >= 'A' && code <= 'Z';
  switch (size) {
    case 1: return isUnsigned ? ItemKind::U8 : ItemKind::I8;
    case 2: return isUnsigned ? ItemKind::U16 : ItemKind::I16;
    case 4: return isUnsigned ? ItemKind::U32 : ItemKind::I32;
    default: return isUnsigned ? ItemKind::U64 : ItemKind::I64;
  }
}

// The item size a code has under its prefix (LP64 Linux); 0: no integer.
size_t codeSize(char code, bool standard) {
  switch (code) {
    case 'b': case 'B': return 1;
    case 'h': case 'H': return 2;
    case 'i': case 'I': return 4;
    case 'l': case 'L': return standard ? 4 : 8;
    case 'q': case 'Q': return 8;
    default: return 0;
  }
}

template <class T>
inline T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Widens every item into `out`, keeping the greatest value.
template <class T>
int64_t widen(const uint8_t* data, size_t n, int64_t* out) {
  int64_t largest = 0;
  for (size_t k = 0; k < n; ++k) {
    const int64_t v = static_cast<int64_t>(load<T>(data + k * sizeof(T)));
    out[k] = v;
    largest = v > largest ? v : largest;
  }
  return largest;
}

// Four running maxima, so the compare chains overlap.
int64_t largestOf(const int64_t* p, size_t n) {
  int64_t m[4] = {0, 0, 0, 0};
  size_t k = 0;
  for (; k + 4 <= n; k += 4)
    for (int j = 0; j < 4; ++j) m[j] = p[k + j] > m[j] ? p[k + j] : m[j];
  for (; k < n; ++k) m[0] = p[k] > m[0] ? p[k] : m[0];
  const int64_t a = m[0] > m[1] ? m[0] : m[1];
  const int64_t b = m[2] > m[3] ? m[2] : m[3];
  return a > b ? a : b;
}

}  // namespace

bool intItemKind(const char* format, size_t itemSize, ItemKind& kind) {
  if (format == nullptr) return false;
  bool standard = false;
  if (format[0] == '@' || format[0] == '=') standard = *format++ == '=';
  if (format[0] == 0 || format[1] != 0) return false;
  const size_t size = codeSize(format[0], standard);
  if (size == 0 || size != itemSize) return false;
  kind = kindFor(format[0], size);
  return true;
}

bool isInt64Format(const char* format, size_t itemSize) {
  ItemKind kind;
  return intItemKind(format, itemSize, kind) && kind == ItemKind::I64;
}

std::string describeFormat(const char* format, size_t itemSize) {
  return std::string("format '") + (format != nullptr ? format : "") + "' with item size " +
         std::to_string(itemSize);
}

void IntItems::read(const uint8_t* data, size_t n, ItemKind kind) {
  const bool aligned = reinterpret_cast<uintptr_t>(data) % alignof(int64_t) == 0;
  if ((kind == ItemKind::I64 || kind == ItemKind::U64) && aligned) {
    const int64_t* items = reinterpret_cast<const int64_t*>(data);
    values_ = {items, n};
    if (kind == ItemKind::U64) {
      // Read as signed, an item above 2^63 - 1 is negative.
      int64_t least = 0;
      for (size_t k = 0; k < n; ++k) least = items[k] < least ? items[k] : least;
      outOfRange_ = least < 0;
    }
    largest_ = largestOf(items, n);
    return;
  }
  owned_.reset(new int64_t[n]);
  int64_t* out = owned_.get();
  switch (kind) {
    case ItemKind::I8: largest_ = widen<int8_t>(data, n, out); break;
    case ItemKind::U8: largest_ = widen<uint8_t>(data, n, out); break;
    case ItemKind::I16: largest_ = widen<int16_t>(data, n, out); break;
    case ItemKind::U16: largest_ = widen<uint16_t>(data, n, out); break;
    case ItemKind::I32: largest_ = widen<int32_t>(data, n, out); break;
    case ItemKind::U32: largest_ = widen<uint32_t>(data, n, out); break;
    case ItemKind::I64: largest_ = widen<int64_t>(data, n, out); break;
    case ItemKind::U64:
      largest_ = widen<int64_t>(data, n, out);
      for (size_t k = 0; k < n; ++k) outOfRange_ = outOfRange_ || out[k] < 0;
      break;
  }
  values_ = {out, n};
}

}  // namespace pybinding
