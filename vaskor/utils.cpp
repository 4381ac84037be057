#include "vaskor/utils.hpp"

#include <array>

namespace vaskor {

namespace {

// For bit length k (48..63), the values 2^k - d .. 2^k - 1 have a logarithm
// that rounds up to k, so the double rule answers k + 1 for them. Keeping
// this as a table spares the product a dependency on the C math library.
constexpr std::array<uint64_t, 64> kRaisedBelowPower = [] {
  std::array<uint64_t, 64> d{};
  const uint64_t top[] = {1,   2,   3,    1,    27,   38,   42,   18,
                          411, 552, 592, 4191, 6208, 8063, 7424, 64000};
  for (int k = 48; k < 64; ++k) d[k] = top[k - 48];
  return d;
}();

template <class T>
int64_t parseBinInto(std::string_view s, T& number) {
  size_t pos = 0;
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'b' || s[1] == 'B')) {
    pos = 2;
    if (pos == s.size()) return 0;
  }
  T acc = 0;
  bool sawDigit = false;
  for (; pos < s.size(); ++pos) {
    const char c = s[pos];
    if (c == '0' || c == '1') {
      acc = static_cast<T>((acc << 1) | static_cast<T>(c - '0'));
      sawDigit = true;
    } else if (c != '_') {
      break;
    }
  }
  if (!sawDigit) return 0;
  number = acc;
  return static_cast<int64_t>(pos);
}

}  // namespace

int64_t binLen(int64_t num) {
  // The rule is only defined for non-negative input; 0 and below give 1.
  if (num <= 0) return 1;
  const uint64_t u = static_cast<uint64_t>(num);
  const int k = 64 - __builtin_clzll(u);
  // 2^k - u <= d, computed without forming 2^63 as a signed value.
  if (k >= 48 && (uint64_t{1} << k) - u <= kRaisedBelowPower[k]) return k + 1;
  return k;
}

std::string nsuToBin(int64_t x, int64_t len) {
  if (len <= 0) return {};
  std::string out(static_cast<size_t>(len), '0');
  const uint64_t bits = static_cast<uint64_t>(x);
  const int64_t low = len < 64 ? len : 64;
  for (int64_t j = 0; j < low; ++j)
    if ((bits >> j) & 1) out[static_cast<size_t>(len - 1 - j)] = '1';
  return out;
}

int64_t parseBin(std::string_view s, int64_t& number) {
  uint64_t acc = 0;
  const int64_t n = parseBinInto(s, acc);
  if (n != 0) number = static_cast<int64_t>(acc);
  return n;
}

int64_t parseBin(std::string_view s, uint8_t& number) { return parseBinInto(s, number); }

}  // namespace vaskor
