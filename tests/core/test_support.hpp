// Small helpers shared by the core tests.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "vaskor/failure.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"

namespace core_test {

using Bytes = std::vector<uint8_t>;
using Values = std::vector<int64_t>;

// A worked example: values, the width encode chooses, the packed bytes in
// hex, and what decoding them with that width gives back.
struct Worked {
  Values input;
  int64_t width;
  const char* packed;
  Values decoded;
};

constexpr int64_t pow2(int k) { return static_cast<int64_t>(uint64_t{1} << k); }

inline Bytes hex(const std::string& text) {
  Bytes out;
  std::string digits;
  for (char c : text)
    if (c != ' ') digits += c;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

inline Bytes prepend(uint8_t first, const Bytes& rest) {
  Bytes out;
  out.reserve(rest.size() + 1);
  out.push_back(first);
  for (uint8_t b : rest) out.push_back(b);
  return out;
}

// One codec seen through plain vectors, so the library and the reference
// model can run the same checks.
struct Codec {
  const char* name;
  std::function<Bytes(const Values&, int64_t&)> encode;
  std::function<Values(const Bytes&, int64_t)> decode;
};

inline void PrintTo(const Codec& c, std::ostream* os) { *os << c.name; }

// What a decode produced: its values, or the failure it raised.
struct Outcome {
  bool failed = false;
  Values values;
  std::string kind;
  std::string msg;

  bool operator==(const Outcome&) const = default;
};

inline Outcome run(const std::function<Values()>& body) {
  Outcome o;
  try {
    o.values = body();
  } catch (const vaskor::Exception& e) {
    o.failed = true;
    o.kind = e.name ? e.name : "";
    o.msg = e.msg;
  }
  return o;
}

inline std::string describe(const Bytes& b) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (uint8_t x : b) {
    s += digits[x >> 4];
    s += digits[x & 15];
    s += ' ';
  }
  return s;
}

}  // namespace core_test

namespace core_test {

inline const Codec kBpe{"bpe", [](const Values& s, int64_t& lo) { return vaskor::bpe::encode(s, lo); },
                        [](const Bytes& b, int64_t l) { return vaskor::bpe::decode(b, l); }};
inline const Codec kBpeRef{"bpe reference", &vaskor_ref::bpeEncode, &vaskor_ref::bpeDecode};
inline const Codec kNe{"ne", [](const Values& s, int64_t& lo) { return vaskor::ne::encode(s, lo); },
                       [](const Bytes& b, int64_t l) { return vaskor::ne::decode(b, l); }};
inline const Codec kNeRef{"ne reference", &vaskor_ref::neEncode, &vaskor_ref::neDecode};

}  // namespace core_test
