// Both decoders into caller storage of any size, against the text model and
// the vector form: the same values or failure, a too-small `out` refused,
// and nothing written outside the values or before a failure.
#include "fuzz/fuzz_common.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"

using namespace vaskor_fuzz;

namespace {

struct Decoder {
  std::vector<int64_t> (*decode)(std::span<const uint8_t>, int64_t);
  std::vector<int64_t> (*reference)(const std::vector<uint8_t>&, int64_t);
  uint64_t (*decodedCount)(std::span<const uint8_t>, int64_t);
  uint64_t (*decodeInto)(std::span<const uint8_t>, int64_t, std::span<int64_t>);
};

const Decoder kDecoders[] = {
    {vaskor::bpe::decode, vaskor_ref::bpeDecode, vaskor::bpe::decodedCount, vaskor::bpe::decodeInto},
    {vaskor::ne::decode, vaskor_ref::neDecode, vaskor::ne::decodedCount, vaskor::ne::decodeInto},
};

constexpr int64_t kGuard = 0x5A5A5A5A5A5A5A5A;
constexpr uint64_t kGuards = 8;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  const RoomChoice rc = readRoom(r);
  const size_t used = size - r.left();
  const DecodeCase c = readDecodeCase(data + used, size - used);
  const Decoder& d = kDecoders[rc.ne];

  auto want = capture<std::vector<int64_t>>([&] { return d.reference(c.bytes, c.width); });
  expectSame("vector decode differs from the reference",
             capture<std::vector<int64_t>>([&] { return d.decode(c.bytes, c.width); }), want);
  auto count = capture<std::vector<int64_t>>([&] { return std::vector<int64_t>(d.decodedCount(c.bytes, c.width)); });
  if (count.failed != want.failed || count.kind != want.kind || count.msg != want.msg ||
      count.value.size() != want.value.size())
    fail("decodedCount differs from decode", describe(count) + "\nwant " + describe(want));

  const uint64_t n = want.value.size();
  const uint64_t room = roomFor(rc, n, n + rc.k);
  std::vector<int64_t> out(room + kGuards, kGuard);
  auto got = capture<std::vector<int64_t>>([&] {
    const uint64_t written = d.decodeInto(c.bytes, c.width, std::span(out).first(room));
    if (written != n) fail("decodeInto count", std::to_string(written) + " != " + std::to_string(n));
    return std::vector<int64_t>(out.begin(), out.begin() + static_cast<ptrdiff_t>(n));
  });
  if (!want.failed && room < n) {
    want.failed = true;
    want.kind = "ValueError";
    want.msg = tooSmall(n, room, "values");
    want.value.clear();
  }
  expectSame("decodeInto differs", got, want);
  const size_t keep = got.failed ? 0 : n;
  for (size_t i = keep; i < out.size(); ++i)
    if (out[i] != kGuard) fail("decodeInto wrote outside its values", std::to_string(i));
  return 0;
}
