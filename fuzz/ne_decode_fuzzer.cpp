// Whole-byte decoder against the text model, for any bytes and any width.
#include "fuzz/fuzz_common.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/ne.hpp"

using namespace vaskor_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodeCase c = readDecodeCase(data, size);
  auto got = capture<std::vector<int64_t>>([&] { return vaskor::ne::decode(c.bytes, c.width); });
  auto want = capture<std::vector<int64_t>>([&] { return vaskor_ref::neDecode(c.bytes, c.width); });
  expectSame("ne::decode differs from the reference", got, want);

  if (c.width > 0 && c.width <= 255) {
    std::vector<uint8_t> framed{static_cast<uint8_t>(c.width)};
    framed.insert(framed.end(), c.bytes.begin(), c.bytes.end());
    auto viaByte = capture<std::vector<int64_t>>([&] { return vaskor::ne::decode(framed, 0); });
    expectSame("ne::decode with the width byte differs from the plain width", viaByte, got);
  }
  return 0;
}
