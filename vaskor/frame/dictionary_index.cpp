#include "frame/dictionary_index.hpp"

#include <algorithm>

namespace vaskor::frame::detail {

void DictionaryIndex::build(const uint64_t* table, size_t t) {
  std::fill(code_, code_ + kSlots, kEmpty);
  for (size_t c = 0; c < t; ++c) {
    const size_t h = find(table[c]);
    key_[h] = table[c];
    code_[h] = static_cast<uint16_t>(c);
  }
}

bool DictionaryIndex::codes(const uint64_t* u, size_t n, uint16_t* codes, uint64_t* used) const {
  std::fill(used, used + kMaxEntries / 64, 0);
  for (size_t i = 0; i < n; ++i) {
    const uint16_t c = code_[find(u[i])];
    if (c == kEmpty) return false;
    codes[i] = c;
    used[c / 64] |= uint64_t{1} << (c % 64);
  }
  return true;
}

size_t DictionaryIndex::distinct(const uint64_t* u, size_t n, uint64_t* out, size_t most) {
  DictionaryIndex set;
  std::fill(set.code_, set.code_ + kSlots, kEmpty);
  size_t t = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t h = set.find(u[i]);
    if (set.code_[h] != kEmpty) continue;
    if (t == most) return most + 1;
    set.key_[h] = u[i];
    set.code_[h] = 0;
    out[t++] = u[i];
  }
  return t;
}

}  // namespace vaskor::frame::detail
