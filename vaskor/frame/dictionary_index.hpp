// Places to dictionary codes (private to the dictionary scheme): a set of
// open addressing, for tables too large to search entry by entry, and for
// finding a block's distinct values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/blocked_format.hpp"

namespace vaskor::frame::detail {

class DictionaryIndex {
 public:
  // The table's t places (t <= kMaxEntries) with codes 0..t-1.
  void build(const uint64_t* table, size_t t);
  // The codes of n places and the codes used (a bit each); false when a
  // place is in no entry.
  bool codes(const uint64_t* u, size_t n, uint16_t* codes, uint64_t* used) const;
  // The distinct values of n places, in the order met, into `out`; returns
  // how many, or most + 1 on meeting more than `most`.
  static size_t distinct(const uint64_t* u, size_t n, uint64_t* out, size_t most);

 private:
  static constexpr size_t kSlots = 2 * kMaxEntries;
  static constexpr uint16_t kEmpty = 0xffff;
  static size_t slotOf(uint64_t x) { return static_cast<size_t>((x * 0x9E3779B97F4A7C15u) >> 53); }
  // Where x is, or the empty slot it would go to.
  size_t find(uint64_t x) const {
    size_t h = slotOf(x);
    while (code_[h] != kEmpty && key_[h] != x) h = (h + 1) & (kSlots - 1);
    return h;
  }

  uint64_t key_[kSlots];
  uint16_t code_[kSlots];
};
static_assert(uint64_t{1} << 11 == 2 * kMaxEntries);

}  // namespace vaskor::frame::detail
