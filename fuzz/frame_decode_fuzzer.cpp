// Any bytes as a frame: readHeader, then decodeInto into exactly the room
// the header asks for and into one byte less. Each gives the values or a
// failure, never a crash or a touch outside the buffer; a header that reads
// fails decodeInto only on its padding or its room, leaving the buffer as
// it was; and values that decode encode to a frame that decodes to them.
#include <cstring>

#include "fuzz/fuzz_common.hpp"
#include "vaskor/frame.hpp"

using namespace vaskor_fuzz;
namespace frame = vaskor::frame;

namespace {

constexpr uint8_t kGuard = 0x5A;
constexpr size_t kGuards = 16;
// Decoded sizes past this get only the short buffer (a 40-byte header may
// claim any count at width 0).
constexpr uint64_t kMaxDecoded = uint64_t{1} << 20;

// decodeInto into `room` bytes with guards after them; the outcome, the
// buffer checked outside the values (everywhere after a failure).
Outcome<std::vector<uint8_t>> decodeWith(std::span<const uint8_t> f, uint64_t room, uint64_t valueBytes) {
  std::vector<uint8_t> out(room + kGuards, kGuard);
  auto o = capture<std::vector<uint8_t>>([&] {
    frame::decodeInto(f, out.data(), room);
    return std::vector<uint8_t>(out.begin(), out.begin() + static_cast<ptrdiff_t>(valueBytes));
  });
  for (size_t i = o.failed ? 0 : valueBytes; i < out.size(); ++i)
    if (out[i] != kGuard) fail("decodeInto wrote outside its values", std::to_string(i));
  return o;
}

std::string said(const Outcome<std::vector<uint8_t>>& o) {
  return o.failed ? "failure " + o.kind + ": " + o.msg : std::to_string(o.value.size()) + " bytes of values";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> f(data, std::min(size, kMaxData + frame::kHeaderSize));
  auto header = capture<frame::Header>([&] { return frame::readHeader(f); });
  if (header.failed) {
    auto d = decodeWith(f, 64, 0);
    if (!d.failed || d.kind != header.kind || d.msg != header.msg)
      fail("decodeInto differs from readHeader", said(d) + "\nheader: " + header.kind + ": " + header.msg);
    return 0;
  }
  const frame::Header& h = header.value;
  const uint64_t bytes = h.count * frame::itemSize(h.type);
  auto refused = [](const Outcome<std::vector<uint8_t>>& o) {
    return o.failed && (o.msg == "frame padding bits are not zero" || o.msg.rfind("output too small: ", 0) == 0);
  };
  if (bytes > 0) {
    auto shortOne = decodeWith(f, std::min(bytes - 1, kMaxDecoded), 0);
    if (!refused(shortOne)) fail("a short buffer was not refused", said(shortOne));
  }
  if (bytes > kMaxDecoded) return 0;
  auto exact = decodeWith(f, bytes, bytes);
  if (exact.failed) {
    if (!refused(exact)) fail("a frame whose header reads failed otherwise", said(exact));
    return 0;
  }
  // Decoded values make a frame of their own that gives them back.
  const frame::Options o{h.layout, h.transform};
  const std::vector<uint8_t> again = frame::encode(h.type, exact.value.data(), h.count, o);
  std::vector<uint8_t> back(bytes);
  frame::decodeInto(again, back.data(), back.size());
  if (back != exact.value) fail("re-encoded values decode differently", std::to_string(h.count) + " values");
  return 0;
}
