#include "tests/reference/reference_model.hpp"

#include <cmath>

#include "vaskor/failure.hpp"

namespace vaskor_ref {

int64_t binLen(int64_t num) {
  if (num == 0) return 1;
  const double y = std::log(static_cast<double>(num)) / std::log(2.0);
  return static_cast<int64_t>(std::floor(y)) + 1;
}

std::string nsuToBin(int64_t x, int64_t len) {
  std::string text(static_cast<size_t>(len), ' ');
  for (int64_t j = 0; j < len; ++j) {
    char digit = '0';
    if (j <= 63 && ((static_cast<uint64_t>(x) >> j) & 1) == 1) digit = '1';
    text[static_cast<size_t>(len - 1 - j)] = digit;
  }
  return text;
}

namespace {

// `Acc` is the target's width; shifting it drops the bits above.
template <class Acc, class Target>
int64_t parseDigits(const std::string& s, Target& number) {
  size_t i = 0;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B')) {
    i = 2;
    if (i == s.size()) return 0;
  }
  Acc acc = 0;
  bool digits = false;
  while (i < s.size()) {
    if (s[i] == '0' || s[i] == '1') {
      acc = static_cast<Acc>(acc << 1);
      if (s[i] == '1') acc = static_cast<Acc>(acc | 1);
      digits = true;
    } else if (s[i] != '_') {
      break;
    }
    ++i;
  }
  if (!digits) return 0;
  number = static_cast<Target>(acc);
  return static_cast<int64_t>(i);
}

std::string bytesToText(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t b : bytes) text += nsuToBin(b, 8);
  return text;
}

// Step 2 of both decoders: width 0 takes the first byte as the width.
void takeWidthByte(std::vector<uint8_t>& copy, int64_t& l) {
  if (l == 0 && !copy.empty()) {
    l = copy[0];
    copy.erase(copy.begin());
  }
}

int64_t largestFromZero(const std::vector<int64_t>& s) {
  int64_t m = 0;
  for (int64_t v : s)
    if (v > m) m = v;
  return m;
}

}  // namespace

int64_t parseBin(const std::string& s, int64_t& number) { return parseDigits<uint64_t>(s, number); }
int64_t parseBin(const std::string& s, uint8_t& number) { return parseDigits<uint8_t>(s, number); }

std::vector<uint8_t> bpeEncode(const std::vector<int64_t>& s, int64_t& lo) {
  if (s.empty()) {
    lo = binLen(0) + 1;
    return {};
  }
  const int64_t w = binLen(largestFromZero(s)) + 1;
  std::string text;
  for (int64_t v : s) text += nsuToBin(v, w);
  if (text.size() % 8 != 0) text.insert(0, 8 - text.size() % 8, '0');
  std::vector<uint8_t> out;
  for (size_t at = 0; at < text.size(); at += 8) {
    uint8_t b = 0;
    parseBin(text.substr(at, 8), b);
    out.push_back(b);
  }
  lo = w;
  return out;
}

std::vector<int64_t> bpeDecode(const std::vector<uint8_t>& bytes, int64_t l) {
  std::vector<uint8_t> copy = bytes;
  takeWidthByte(copy, l);
  if (copy.empty()) return {};
  if (l == 0) vaskor::raise<vaskor::ValueError>("bit width must be positive, got 0");
  std::string text = bytesToText(copy);
  const int64_t length = static_cast<int64_t>(text.size());
  const int64_t r = length % l;  // C remainder: sign of the length
  text.erase(0, static_cast<size_t>(r));
  std::vector<int64_t> out;
  for (int64_t off = 0; off <= static_cast<int64_t>(text.size()) - 1; off += l) {
    const std::string group = l > 0 ? text.substr(static_cast<size_t>(off), static_cast<size_t>(l)) : "";
    int64_t value = 0;
    const int64_t used = parseBin(group, value);
    vaskor::check(used == l, "bpe(76, 18) `item.parseBin(iitem) == rl` ");
    out.push_back(value);
  }
  return out;
}

std::vector<uint8_t> neEncode(const std::vector<int64_t>& s, int64_t& lo) {
  if (s.empty()) {
    lo = 1;
    return {};
  }
  const int64_t n = static_cast<int64_t>(std::ceil(static_cast<double>(binLen(largestFromZero(s))) * 0.125));
  std::vector<uint8_t> out;
  for (int64_t v : s) {
    const std::string text = nsuToBin(v, 8 * n);
    for (size_t at = 0; at < text.size(); at += 8) {
      uint8_t b = 0;
      parseBin(text.substr(at, 8), b);
      out.push_back(b);
    }
  }
  lo = n;
  return out;
}

std::vector<int64_t> neDecode(const std::vector<uint8_t>& bytes, int64_t l) {
  std::vector<uint8_t> copy = bytes;
  takeWidthByte(copy, l);
  if (copy.empty()) return {};
  if (l <= 0) vaskor::raise<vaskor::ValueError>("byte width must be positive, got " + std::to_string(l));
  std::vector<int64_t> out;
  const int64_t count = static_cast<int64_t>(copy.size());
  for (int64_t off = 0; off <= count - 1; off += l) {
    std::string text;
    for (int64_t k = off; k < off + l && k < count; ++k) text += nsuToBin(copy[static_cast<size_t>(k)], 8);
    int64_t value = 0;
    parseBin(text, value);
    out.push_back(value);
  }
  return out;
}

}  // namespace vaskor_ref
