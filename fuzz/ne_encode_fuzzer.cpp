// Whole-byte encoder against the text model, then the round trip.
#include "fuzz/fuzz_common.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/ne.hpp"

using namespace vaskor_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int64_t> s = readValues(data, size);
  auto got = capture<Encoded>([&] {
    Encoded e;
    e.bytes = vaskor::ne::encode(s, e.width);
    return e;
  });
  auto want = capture<Encoded>([&] {
    Encoded e;
    e.bytes = vaskor_ref::neEncode(s, e.width);
    return e;
  });
  expectSame("ne::encode differs from the reference", got, want);
  // Encoders never fail, so both sides agreeing on a failure is a fault too.
  if (got.failed) fail("ne::encode failed", describe(got));

  const int64_t n = got.value.width;
  if (n < 1 || n > 8) fail("ne::encode width out of 1..8", std::to_string(n));
  if (got.value.bytes.size() != s.size() * static_cast<size_t>(n))
    fail("ne::encode byte count is not N*n", std::to_string(got.value.bytes.size()));

  // Every width round-trips to the low 8*n bits of each value, directly and
  // with the width byte in front.
  std::vector<int64_t> expect = neRoundTrip(s, n);
  expectValues("ne round trip", vaskor::ne::decode(got.value.bytes, n), expect);
  std::vector<uint8_t> framed{static_cast<uint8_t>(n)};
  framed.insert(framed.end(), got.value.bytes.begin(), got.value.bytes.end());
  expectValues("ne round trip with the width byte", vaskor::ne::decode(framed, 0), expect);
  return 0;
}
