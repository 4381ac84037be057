// Shared pieces of the four fuzz targets: reading the input, running one
// side and capturing its outcome (values or failure kind and message), and
// the round-trip laws of both formats.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "vaskor/failure.hpp"
#include "vaskor/frame.hpp"

namespace vaskor_fuzz {

// The text model is slow; inputs are cut to this many data bytes so every
// run stays well under a millisecond or two.
inline constexpr size_t kMaxData = 4096;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  size_t left() const { return static_cast<size_t>(end_ - p_); }
  uint8_t byte() { return p_ == end_ ? 0 : *p_++; }
  // Little-endian, zero-filled past the end.
  uint64_t u64(int n = 8) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(byte()) << (8 * i);
    return v;
  }
  std::vector<uint8_t> rest(size_t cap) {
    size_t n = left() < cap ? left() : cap;
    std::vector<uint8_t> out(p_, p_ + n);
    p_ += n;
    return out;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// Widths worth hitting directly: the limits of int64, the field and group
// sizes around 64 bits and 8 bytes, and values near the data sizes.
inline constexpr int64_t kExtremeWidths[] = {
    INT64_MIN, INT64_MIN + 1, -4096 * 8 - 1, -65, -64, -63, -9, -8, -2, -1,
    1, 2, 7, 8, 9, 63, 64, 65, 66, 72, 127, 128, 255, 256, 4095, 4096,
    4097, 32767, 32768, 32769, int64_t{1} << 31, int64_t{1} << 32,
    INT64_MAX / 8, INT64_MAX / 8 + 1, INT64_MAX - 1, INT64_MAX};

// Decoder input: a mode byte picks how the width is given, then the data.
//  0: width 0, so the first data byte is the width byte (all 256 values)
//  1: a signed byte (-128..127)
//  2: any 64-bit width, little-endian
//  3: one of kExtremeWidths
struct DecodeCase {
  int64_t width = 0;
  std::vector<uint8_t> bytes;
};

inline DecodeCase readDecodeCase(const uint8_t* data, size_t size) {
  Reader r(data, size);
  DecodeCase c;
  switch (r.byte() % 4) {
    case 0: c.width = 0; break;
    case 1: c.width = static_cast<int8_t>(r.byte()); break;
    case 2: c.width = static_cast<int64_t>(r.u64()); break;
    default:
      c.width = kExtremeWidths[r.byte() % (sizeof kExtremeWidths / sizeof kExtremeWidths[0])];
      break;
  }
  c.bytes = r.rest(kMaxData);
  return c;
}

// Encoder input: items until the data runs out, each led by a kind byte so
// the fuzzer reaches small values, raw 64-bit patterns and the values just
// below powers of two where the width rule changes.
inline std::vector<int64_t> readValues(const uint8_t* data, size_t size, size_t cap = 512) {
  Reader r(data, size);
  std::vector<int64_t> out;
  while (!r.empty() && out.size() < cap) {
    uint8_t kind = r.byte();
    int64_t v;
    switch (kind % 5) {
      case 0: v = static_cast<int8_t>(r.byte()); break;
      case 1: v = static_cast<int64_t>(r.u64(2)); break;
      case 2: v = static_cast<int64_t>(r.u64()); break;
      case 3: {
        // 2^k - d, with d up to 65535: covers every raised bit-length range.
        int k = r.byte() % 64;
        uint64_t d = r.u64(2);
        v = static_cast<int64_t>((uint64_t{1} << k) - d);
        break;
      }
      default: {
        int k = r.byte() % 64;
        // 2^k plus or minus a little, wrapping like the two's-complement pattern.
        v = static_cast<int64_t>((uint64_t{1} << k) + static_cast<uint64_t>(static_cast<int8_t>(r.byte())));
        break;
      }
    }
    if (kind & 0x80) v = static_cast<int64_t>(0 - static_cast<uint64_t>(v));
    out.push_back(v);
  }
  return out;
}

// What one side produced: a value or a failure kind with its message.
template <class T>
struct Outcome {
  bool failed = false;
  std::string kind;
  std::string msg;
  T value{};

  bool operator==(const Outcome&) const = default;
};

template <class T, class F>
Outcome<T> capture(F&& f) {
  Outcome<T> o;
  try {
    o.value = f();
  } catch (const vaskor::Exception& e) {
    o.failed = true;
    o.kind = e.name ? e.name : "";
    o.msg = e.msg;
  }
  return o;
}

// What an encoder returns: the packed bytes and the width it chose.
struct Encoded {
  std::vector<uint8_t> bytes;
  int64_t width = 0;
  bool operator==(const Encoded&) const = default;
};

inline std::string describeValue(const std::vector<int64_t>& v) {
  std::string s = std::to_string(v.size()) + " values:";
  for (size_t i = 0; i < v.size() && i < 16; ++i) s += ' ' + std::to_string(v[i]);
  if (v.size() > 16) s += " ...";
  return s;
}

inline std::string describeValue(const Encoded& e) {
  static const char hex[] = "0123456789abcdef";
  std::string s = "width " + std::to_string(e.width) + ", " + std::to_string(e.bytes.size()) + " bytes:";
  for (size_t i = 0; i < e.bytes.size() && i < 32; ++i) {
    s += ' ';
    s += hex[e.bytes[i] >> 4];
    s += hex[e.bytes[i] & 15];
  }
  if (e.bytes.size() > 32) s += " ...";
  return s;
}

template <class T>
std::string describe(const Outcome<T>& o) {
  if (o.failed) return "failure " + o.kind + ": " + o.msg;
  return describeValue(o.value);
}

[[noreturn]] inline void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "MISMATCH: %s\n%s\n", what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

template <class T>
void expectSame(const char* what, const Outcome<T>& got, const Outcome<T>& want) {
  if (!(got == want))
    fail(what, "codec:     " + describe(got) + "\nreference: " + describe(want));
}

inline void expectValues(const char* what, const std::vector<int64_t>& got,
                         const std::vector<int64_t>& want) {
  if (got != want) fail(what, "got:  " + describeValue(got) + "\nwant: " + describeValue(want));
}

// The low `bits` bits of v when bits < 64, else v itself.
inline int64_t lowBits(int64_t v, int64_t bits) {
  if (bits >= 64) return v;
  return static_cast<int64_t>(static_cast<uint64_t>(v) & ((uint64_t{1} << bits) - 1));
}

// Bit-packed: what decoding the encoder's bytes with its width gives back.
// Padding of P bits yields floor(P / w) leading zeros; each value keeps its
// low w bits (all 64 for w of 64 or 65).
inline std::vector<int64_t> bpeRoundTrip(const std::vector<int64_t>& s, int64_t w) {
  std::vector<int64_t> out;
  if (s.empty()) return out;
  uint64_t bits = static_cast<uint64_t>(s.size()) * static_cast<uint64_t>(w);
  uint64_t pad = (8 - bits % 8) % 8;
  out.assign(pad / static_cast<uint64_t>(w), 0);
  for (int64_t v : s) out.push_back(lowBits(v, w));
  return out;
}

// Whole-byte: every value keeps its low 8*n bits; no padding.
inline std::vector<int64_t> neRoundTrip(const std::vector<int64_t>& s, int64_t n) {
  std::vector<int64_t> out;
  for (int64_t v : s) out.push_back(lowBits(v, 8 * n));
  return out;
}

}  // namespace vaskor_fuzz

namespace vaskor_fuzz {

// How much room the caller-storage targets give, from the first two bytes:
// exactly what is needed, k short, k spare, or (encoding) maxPackedSize.
enum class Room { kExact, kShort, kSpare, kMax };

struct RoomChoice {
  bool ne;  // which codec
  Room room;
  uint64_t k;
};

inline RoomChoice readRoom(Reader& r) {
  const uint8_t mode = r.byte();
  return {(mode & 1) != 0, static_cast<Room>((mode >> 1) & 3), uint64_t{1} + r.byte()};
}

inline uint64_t roomFor(const RoomChoice& c, uint64_t needed, uint64_t most) {
  switch (c.room) {
    case Room::kExact: return needed;
    case Room::kShort: return needed > c.k ? needed - c.k : 0;
    case Room::kSpare: return needed + c.k;
    default: return most;
  }
}

// The failure of a caller-storage call given too little room.
inline std::string tooSmall(uint64_t needed, uint64_t available, const char* unit) {
  return "output too small: " + std::to_string(needed) + " " + unit + " needed, " + std::to_string(available) +
         " available";
}

// Every element type, in the table's order.
#define VASKOR_FUZZ_TYPE_(c, cxx, ...) vaskor::frame::ElementType::cxx,
inline constexpr vaskor::frame::ElementType kElementTypes[] = {VASKOR_ELEMENT_TYPES(VASKOR_FUZZ_TYPE_)};
#undef VASKOR_FUZZ_TYPE_

// A frame encodeInto into n bytes of room against `frame`, what encode
// gave: short room refused with nothing written, otherwise the same bytes;
// nothing written past the room, nor (`tight`) past the frame.
template <class F>
void checkEncodeInto(const std::vector<uint8_t>& frame, uint64_t n, bool tight, F encodeInto) {
  constexpr uint8_t kGuard = 0x5A;
  std::vector<uint8_t> out(n + 8, kGuard);
  auto into = capture<uint64_t>([&] { return encodeInto(std::span(out).first(n)); });
  if (n < frame.size()) {
    if (!into.failed || into.msg != tooSmall(frame.size(), n, "bytes")) fail("short room not refused", into.msg);
    for (uint8_t b : out)
      if (b != kGuard) fail("a refused encodeInto wrote", std::to_string(n) + " bytes of room");
    return;
  }
  if (into.failed || into.value != frame.size() || !std::equal(frame.begin(), frame.end(), out.begin()))
    fail("encodeInto differs from encode", into.msg);
  for (size_t i = tight ? frame.size() : n; i < out.size(); ++i)
    if (out[i] != kGuard) fail("encodeInto wrote past its room", std::to_string(i));
}

}  // namespace vaskor_fuzz
