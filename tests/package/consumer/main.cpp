// Uses only what an installed vaskor package offers: the public headers and
// vaskor::vaskor. Exits 0 only when every check holds.
#include <vaskor/bpe.hpp>
#include <vaskor/ne.hpp>
#include <vaskor/utils.hpp>
#include <vaskor/failure.hpp>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  if (!ok) ++failures;
}

}  // namespace

int main() {
  const std::vector<int64_t> values{1, 2, 3};

  int64_t w = 0;
  const std::vector<uint8_t> packed = vaskor::bpe::encode(values, w);
  expect(w == 3, "bit-packed 1, 2, 3 has width 3");
  expect(packed == std::vector<uint8_t>{0x00, 0x53}, "bit-packed 1, 2, 3 is 00 53");
  expect(vaskor::bpe::decode(packed, w) == std::vector<int64_t>{0, 0, 1, 2, 3},
         "bit-packed 00 53 at width 3 decodes to 0, 0, 1, 2, 3");

  const std::vector<uint8_t> with_width{0x05, 0x14, 0x09};
  expect(vaskor::bpe::decode(with_width, 0) == std::vector<int64_t>{5, 0, 9},
         "width byte 05 in front of 14 09 decodes to 5, 0, 9");

  int64_t n = 0;
  const std::vector<int64_t> wide{1, 2, 300};
  const std::vector<uint8_t> ne_packed = vaskor::ne::encode(wide, n);
  expect(n == 2, "whole-byte 1, 2, 300 has width 2");
  expect(ne_packed == std::vector<uint8_t>{0x00, 0x01, 0x00, 0x02, 0x01, 0x2C},
         "whole-byte 1, 2, 300 is 00 01 00 02 01 2C");
  expect(vaskor::ne::decode(ne_packed, n) == wide, "whole-byte round trip");

  expect(vaskor::binLen((int64_t{1} << 48) - 1) == 49, "binLen(2^48 - 1) is 49");

  // Into caller storage: sized by maxPackedSize and decodedCount.
  std::vector<uint8_t> room(vaskor::bpe::maxPackedSize(values.size()));
  int64_t intoWidth = 0;
  const uint64_t used = vaskor::bpe::encodeInto(values, room, intoWidth);
  expect(used == 2 && intoWidth == 3 && room[0] == 0x00 && room[1] == 0x53, "encodeInto writes 00 53, width 3");
  std::vector<int64_t> back(vaskor::ne::decodedCount(ne_packed, n));
  expect(vaskor::ne::decodeInto(ne_packed, n, back) == 3 && back == wide, "whole-byte decodeInto round trip");
  bool roomy = true;
  try {
    std::vector<int64_t> two(2);
    vaskor::ne::decodeInto(ne_packed, n, two);
  } catch (const vaskor::ValueError& e) {
    roomy = false;
    std::printf("caught %s: %s\n", e.name ? e.name : "(null)", e.msg.c_str());
  }
  expect(!roomy, "decodeInto into too few values raises vaskor::ValueError");

  bool caught = false;
  try {
    const std::vector<uint8_t> one{0x01};
    vaskor::bpe::decode(one, -1);
  } catch (const vaskor::AssertionDefect& e) {
    caught = std::string(e.name ? e.name : "") == "AssertionDefect" && !e.msg.empty();
    std::printf("caught %s: %s\n", e.name ? e.name : "(null)", e.msg.c_str());
  }
  expect(caught, "bit-packed decode of one byte at width -1 raises vaskor::AssertionDefect");

  bool as_defect = false;
  try {
    const std::vector<uint8_t> one{0x01};
    vaskor::bpe::decode(one, -1);
  } catch (const vaskor::CatchableError&) {
    as_defect = false;
  } catch (const vaskor::Defect&) {
    as_defect = true;
  }
  expect(as_defect, "the failure is a Defect, not a CatchableError");

  std::printf("%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
