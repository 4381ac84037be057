// Bit-at-a-time access for the few fields outside whole blocks (private to
// the bit-packed codec): the head of a stream.
#pragma once

#include <cstdint>


namespace vaskor::detail {

// Appends fields most significant bit first, emitting each byte as it fills.
class BitWriter {
 public:
  explicit BitWriter(uint8_t* out) : out_(out) {}

  void put(uint64_t bits, int n) {  // 1 <= n <= 64; bits above n are zero
    acc_ = (acc_ << n) | bits;
    pending_ += n;
    while (pending_ >= 8) {
      pending_ -= 8;
      *out_++ = static_cast<uint8_t>(acc_ >> pending_);
    }
  }

 private:
  uint8_t* out_;
  unsigned __int128 acc_ = 0;
  int pending_ = 0;
};

// The two's-complement reading of the last min(len, 64) bits of the group
// of `len` bits at bit `start`; reads only the bytes the group covers.
inline uint64_t readGroup(const uint8_t* p, uint64_t start, uint64_t len) {
  const uint64_t n = len < 64 ? len : 64;
  const uint64_t from = start + len - n;
  const uint64_t first = from >> 3;
  const uint64_t last = (from + n - 1) >> 3;
  unsigned __int128 acc = 0;
  for (uint64_t k = first; k <= last; ++k) acc = (acc << 8) | p[k];
  const uint64_t v = static_cast<uint64_t>(acc >> ((last + 1) * 8 - (from + n)));
  return n == 64 ? v : v & ((uint64_t{1} << n) - 1);
}

}  // namespace vaskor::detail
