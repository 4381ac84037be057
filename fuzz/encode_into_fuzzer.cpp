// Both encoders into caller storage of any size, against the text model and
// the vector form: the same bytes and width, a too-small `out` refused with
// `width` and `out` untouched, and nothing written past the packed bytes.
#include "fuzz/fuzz_common.hpp"
#include "tests/reference/reference_model.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"

using namespace vaskor_fuzz;

namespace {

struct Encoder {
  std::vector<uint8_t> (*encode)(std::span<const int64_t>, int64_t&);
  std::vector<uint8_t> (*reference)(const std::vector<int64_t>&, int64_t&);
  uint64_t (*maxPackedSize)(uint64_t);
  uint64_t (*encodeInto)(std::span<const int64_t>, std::span<uint8_t>, int64_t&);
};

const Encoder kEncoders[] = {
    {vaskor::bpe::encode, vaskor_ref::bpeEncode, vaskor::bpe::maxPackedSize, vaskor::bpe::encodeInto},
    {vaskor::ne::encode, vaskor_ref::neEncode, vaskor::ne::maxPackedSize, vaskor::ne::encodeInto},
};

constexpr uint8_t kGuard = 0xA5;
constexpr uint64_t kGuards = 16;
constexpr int64_t kNoWidth = -7;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  const RoomChoice rc = readRoom(r);
  const size_t used = size - r.left();
  const std::vector<int64_t> s = readValues(data + used, size - used);
  const Encoder& e = kEncoders[rc.ne];

  auto want = capture<Encoded>([&] {
    Encoded x;
    x.bytes = e.reference(s, x.width);
    return x;
  });
  expectSame("vector encode differs from the reference", capture<Encoded>([&] {
               Encoded x;
               x.bytes = e.encode(s, x.width);
               return x;
             }),
             want);
  if (want.failed) fail("encode failed", describe(want));

  const uint64_t needed = want.value.bytes.size();
  const uint64_t most = e.maxPackedSize(s.size());
  if (most < needed) fail("maxPackedSize below the packed size", std::to_string(most));
  const uint64_t room = roomFor(rc, needed, most);
  std::vector<uint8_t> out(room + kGuards, kGuard);
  int64_t width = kNoWidth;
  auto got = capture<Encoded>([&] {
    Encoded x;
    const uint64_t written = e.encodeInto(s, std::span(out).first(room), width);
    x.bytes.assign(out.begin(), out.begin() + static_cast<ptrdiff_t>(written));
    x.width = width;
    return x;
  });
  if (room < needed) {
    want.failed = true;
    want.kind = "ValueError";
    want.msg = tooSmall(needed, room, "bytes");
    want.value = Encoded{};
    if (width != kNoWidth) fail("encodeInto set the width before failing", std::to_string(width));
  }
  expectSame("encodeInto differs", got, want);
  const size_t keep = got.failed ? 0 : needed;
  for (size_t i = keep; i < out.size(); ++i)
    if (out[i] != kGuard) fail("encodeInto wrote outside its bytes", std::to_string(i));
  return 0;
}
