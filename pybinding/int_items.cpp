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

template <class T>
inline T load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Widens every item into `out`.
template <class T>
void widen(const uint8_t* data, size_t n, int64_t* out) {
  for (size_t k = 0; k < n; ++k) out[k] = static_cast<int64_t>(load<T>(data + k * sizeof(T)));
}

}  // namespace

bool intItemKind(const char* format, size_t itemSize, ItemKind& kind) {
  if (format == nullptr) return false;
  bool standard = false;
  if (format[0] == '@' || format[0] == '=') standard = *format++ == '=';
  if (format[0] == 0 || format[1] != 0) return false;
  const size_t size = typecodeSize(format[0], standard, true);
  if (size == 0 || size != itemSize) return false;
  kind = kindFor(format[0], size);
  return true;
}

std::string describeFormat(const char* format, size_t itemSize) {
  return std::string("format '") + (format != nullptr ? format : "") + "' with item size " +
         std::to_string(itemSize);
}

void IntItems::read(const uint8_t* data, size_t n, ItemKind kind) {
  const bool aligned = reinterpret_cast<uintptr_t>(data) % alignof(int64_t) == 0;
  if ((kind == ItemKind::I64 || kind == ItemKind::U64) && aligned) {
    values_ = {reinterpret_cast<const int64_t*>(data), n};
  } else {
    owned_.reset(new int64_t[n]);
    int64_t* out = owned_.get();
    switch (kind) {
      case ItemKind::I8: widen<int8_t>(data, n, out); break;
      case ItemKind::U8: widen<uint8_t>(data, n, out); break;
      case ItemKind::I16: widen<int16_t>(data, n, out); break;
      case ItemKind::U16: widen<uint16_t>(data, n, out); break;
      case ItemKind::I32: widen<int32_t>(data, n, out); break;
      case ItemKind::U32: widen<uint32_t>(data, n, out); break;
      case ItemKind::I64:
      case ItemKind::U64: widen<int64_t>(data, n, out); break;
    }
    values_ = {out, n};
  }
  // Read as signed, an unsigned item above 2^63 - 1 is negative.
  if (kind == ItemKind::U64) {
    int64_t least = 0;
    for (const int64_t v : values_) least = v < least ? v : least;
    outOfRange_ = least < 0;
  }
}

}  // namespace pybinding
