// Bit-packed encoder against the text model, then the round trip.
#include "fuzz/fuzz_common.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/bpe.hpp"

using namespace vaskor_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<int64_t> s = readValues(data, size);
  auto got = capture<Encoded>([&] {
    Encoded e;
    e.bytes = vaskor::bpe::encode(s, e.width);
    return e;
  });
  auto want = capture<Encoded>([&] {
    Encoded e;
    e.bytes = vaskor_ref::bpeEncode(s, e.width);
    return e;
  });
  expectSame("bpe::encode differs from the reference", got, want);
  // Encoders never fail, so both sides agreeing on a failure is a fault too.
  if (got.failed) fail("bpe::encode failed", describe(got));

  const int64_t w = got.value.width;
  if (w < 2 || w > 65) fail("bpe::encode width out of 2..65", std::to_string(w));
  if (got.value.bytes.size() != (s.size() * static_cast<size_t>(w) + 7) / 8)
    fail("bpe::encode byte count is not ceil(N*w/8)", std::to_string(got.value.bytes.size()));

  // Decoding gives the padding zeros and the low w bits of every value; for
  // w >= 8 and non-negative values that is exactly the input.
  std::vector<int64_t> back = vaskor::bpe::decode(got.value.bytes, w);
  std::vector<int64_t> expect = bpeRoundTrip(s, w);
  expectValues("bpe round trip", back, expect);
  bool nonNegative = true;
  for (int64_t v : s) nonNegative = nonNegative && v >= 0;
  if (w >= 8 && nonNegative) expectValues("bpe exact round trip", back, s);
  std::vector<uint8_t> framed{static_cast<uint8_t>(w)};
  framed.insert(framed.end(), got.value.bytes.begin(), got.value.bytes.end());
  expectValues("bpe round trip with the width byte", vaskor::bpe::decode(framed, 0), expect);
  return 0;
}
