#include "tests/reference/frame_model.hpp"

#include <string>

#include "tests/reference/reference_model.hpp"

namespace vaskor_ref {

namespace {

struct Ring {
  int bits;
  uint64_t mask;
  explicit Ring(int size) : bits(8 * size), mask(size == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * size)) - 1) {}
  uint64_t sub(uint64_t a, uint64_t b) const { return (a - b) & mask; }
  // The two's-complement reading of the low bits, as a 64-bit number.
  int64_t asSigned(uint64_t v) const {
    v &= mask;
    if (bits < 64 && (v >> (bits - 1)) != 0) v |= ~mask;
    return static_cast<int64_t>(v);
  }
  bool less(uint64_t a, uint64_t b, bool isSigned) const {
    return isSigned ? asSigned(a) < asSigned(b) : (a & mask) < (b & mask);
  }
  uint64_t extend(uint64_t v, bool isSigned) const { return isSigned ? static_cast<uint64_t>(asSigned(v)) : v & mask; }
};

void putLE(std::vector<uint8_t>& out, uint64_t v) {
  for (int k = 0; k < 8; ++k) out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

int bitLength(uint64_t v) {
  int n = 0;
  while (v != 0) {
    ++n;
    v >>= 1;
  }
  return n;
}

}  // namespace

std::vector<uint8_t> frameEncode(const FrameChoice& c, const std::vector<uint64_t>& values) {
  const Ring r(c.size);
  uint64_t reference = 0, first = 0;
  std::vector<uint64_t> packed;
  if (!c.delta) {
    for (size_t i = 0; i < values.size(); ++i)
      if (i == 0 || r.less(values[i], reference, c.isSigned)) reference = values[i] & r.mask;
    for (uint64_t v : values) packed.push_back(r.sub(v, reference));
    reference = r.extend(reference, c.isSigned);
  } else {
    if (!values.empty()) first = r.extend(values[0], c.isSigned);
    std::vector<uint64_t> diffs;
    for (size_t i = 1; i < values.size(); ++i) diffs.push_back(r.sub(values[i], values[i - 1]));
    for (size_t i = 0; i < diffs.size(); ++i)
      if (i == 0 || r.less(diffs[i], reference, true)) reference = diffs[i];
    for (uint64_t d : diffs) packed.push_back(r.sub(d, reference));
    reference = r.extend(reference, true);
  }
  int bits = 0;
  for (uint64_t p : packed)
    if (bitLength(p) > bits) bits = bitLength(p);
  const int width = c.wholeByte ? (bits + 7) / 8 : bits;

  std::vector<uint8_t> out = {'V', 'S', 'K', 'F', 1, static_cast<uint8_t>(c.wholeByte ? 2 : 1),
                              static_cast<uint8_t>(c.size | (c.isSigned ? 0 : 0x10)),
                              static_cast<uint8_t>(c.delta ? 2 : 1), static_cast<uint8_t>(width), 0, 0, 0, 0, 0, 0, 0};
  putLE(out, values.size());
  putLE(out, reference);
  putLE(out, first);
  if (width == 0) return out;
  if (c.wholeByte) {
    for (uint64_t p : packed)
      for (int k = width - 1; k >= 0; --k) out.push_back(static_cast<uint8_t>(p >> (8 * k)));
    return out;
  }
  std::string text;
  for (uint64_t p : packed) text += nsuToBin(static_cast<int64_t>(p), width);
  text.insert(0, (8 - text.size() % 8) % 8, '0');
  for (size_t at = 0; at < text.size(); at += 8) {
    uint8_t byte = 0;
    parseBin(text.substr(at, 8), byte);
    out.push_back(byte);
  }
  return out;
}

}  // namespace vaskor_ref
