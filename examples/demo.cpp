// The C++ side of the demo: the same codecs, called directly.
//   make demo            (builds and runs this after demo.py)
#include <vaskor/bpe.hpp>
#include <vaskor/ne.hpp>
#include <vaskor/failure.hpp>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

void printBytes(const char* label, const std::vector<uint8_t>& bytes) {
  std::printf("%s %zu bytes:", label, bytes.size());
  for (uint8_t b : bytes) std::printf(" %02X", b);
  std::printf("\n");
}

void printValues(const char* label, const std::vector<int64_t>& values) {
  std::printf("%s", label);
  for (int64_t v : values) std::printf(" %lld", static_cast<long long>(v));
  std::printf("\n");
}

}  // namespace

int main() {
  // Milliseconds between successive events of a steady stream.
  const std::vector<int64_t> gaps{1000, 1002, 998, 1001, 1000, 999, 1003, 1000,
                                  997,  1001, 1000, 1002, 998, 1000, 1001, 999};
  std::printf("C++ demo: %zu values, %zu bytes as int64\n", gaps.size(),
              gaps.size() * sizeof(int64_t));
  printValues("values     ", gaps);

  int64_t bits = 0;
  const std::vector<uint8_t> packed = vaskor::bpe::encode(gaps, bits);
  std::printf("bit-packed  width %lld bits, ratio %.2fx\n", static_cast<long long>(bits),
              8.0 * gaps.size() / packed.size());
  printBytes("  packed   ", packed);
  std::printf("  round trip %s\n", vaskor::bpe::decode(packed, bits) == gaps ? "exact" : "DIFFERENT");

  int64_t bytesPerValue = 0;
  const std::vector<uint8_t> whole = vaskor::ne::encode(gaps, bytesPerValue);
  std::printf("whole-byte  width %lld bytes, ratio %.2fx\n",
              static_cast<long long>(bytesPerValue), 8.0 * gaps.size() / whole.size());
  printBytes("  packed   ", whole);
  std::printf("  round trip %s\n",
              vaskor::ne::decode(whole, bytesPerValue) == gaps ? "exact" : "DIFFERENT");

  // Width 0: the first byte carries the width.
  std::vector<uint8_t> framed{static_cast<uint8_t>(bits)};
  framed.insert(framed.end(), packed.begin(), packed.end());
  std::printf("width byte  decode(%02X ..., 0) gives the values back: %s\n", framed[0],
              vaskor::bpe::decode(framed, 0) == gaps ? "yes" : "no");

  // Failures are C++ exceptions whose classes mirror the failure kinds.
  try {
    const std::vector<uint8_t> one{0x01};
    vaskor::bpe::decode(one, -1);
    std::printf("no failure?!\n");
    return 1;
  } catch (const vaskor::AssertionDefect& e) {
    std::printf("caught vaskor::%s: %s\n", e.name, e.msg.c_str());
  }
  return 0;
}
