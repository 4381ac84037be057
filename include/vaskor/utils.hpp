// The bit-length rule both formats size their values by, and the binary
// digit text conversions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vaskor {

// Digits of a non-negative value, worked out through a double logarithm:
// exact up to 2^48 - 2, one too many for some values just below the powers
// of two above that (never too few). Both formats depend on those results.
int64_t binLen(int64_t num);

// ln(x) / ln(base), through the C library's log.
double log(double x, double base);

// The low `len` bits of `x`, most significant first; zeros above bit 63.
std::string nsuToBin(int64_t x, int64_t len);

// Reads binary digits ("0b" prefix and '_' allowed) into `number`; returns
// the characters consumed, or 0 with `number` untouched when no digit is read.
int64_t parseBin(std::string_view s, int64_t& number);
int64_t parseBin(std::string_view s, uint8_t& number);

}  // namespace vaskor
