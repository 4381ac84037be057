// The C frame decoder against the C++ one on any input and room: the same
// header, values or failure (as the status and "kind: message" the C
// interface reports), nothing written outside the values or on failure.
#include <cstring>

#include "fuzz/fuzz_common.hpp"
#include "vaskor/frame.hpp"
#include "vaskor/vaskor.h"

using namespace vaskor_fuzz;
namespace fr = vaskor::frame;

namespace {

constexpr uint8_t kGuard = 0xA7;
constexpr uint64_t kGuards = 16;
// Rooms above this are not tried: a 40-byte frame may claim any count.
constexpr uint64_t kMostRoom = uint64_t{1} << 20;

std::string shown(const Outcome<uint64_t>& o) {
  return o.failed ? "failure " + o.kind + ": " + o.msg : "count " + std::to_string(o.value);
}

vaskor_status statusOf(const Outcome<uint64_t>& o) {
  if (!o.failed) return VASKOR_OK;
  if (o.kind == "FrameVersionError") return VASKOR_UNSUPPORTED_VERSION;
  if (o.kind == "FrameError") return VASKOR_CORRUPT_FRAME;
  if (o.kind == "ValueError" && o.msg.starts_with("output too small")) return VASKOR_OUTPUT_TOO_SMALL;
  return VASKOR_INVALID_ARGUMENT;
}

void expectReport(const char* what, vaskor_status got, const vaskor_error& e, const Outcome<uint64_t>& want) {
  const std::string text = want.failed ? (want.kind + ": " + want.msg).substr(0, VASKOR_MESSAGE_SIZE - 1) : "";
  if (got != statusOf(want) || e.status != got || std::memchr(e.message, 0, sizeof e.message) == nullptr ||
      text != e.message)
    fail(what, std::string(vaskor_status_name(got)) + " \"" + std::string(e.message, strnlen(e.message, sizeof e.message)) +
                   "\"\nC++: " + shown(want));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  const RoomChoice rc = readRoom(r);
  const std::vector<uint8_t> frame = r.rest(fr::kHeaderSize + kMaxData);

  fr::Header want{};
  const auto header = capture<uint64_t>([&] {
    want = fr::readHeader(frame);
    return want.count;
  });
  vaskor_error e;
  vaskor_frame_header h;
  expectReport("read_header", vaskor_frame_read_header(frame.data(), frame.size(), &h, &e), e, header);
  if (!header.failed &&
      (h.version != want.version || h.type != static_cast<vaskor_type>(want.type) ||
       h.layout != static_cast<vaskor_layout>(want.layout) ||
       h.transform != static_cast<vaskor_transform>(want.transform) || h.width != want.width ||
       h.count != want.count || h.reference != want.reference || h.first != want.first ||
       h.frame_size != frame.size()))
    fail("read_header fields differ", shown(header));

  const uint64_t needed = header.failed ? 0 : want.count * fr::itemSize(want.type);
  const bool huge = !header.failed && (want.count > kMostRoom || needed > kMostRoom);
  const uint64_t room = huge ? rc.k : roomFor(rc, needed, needed + rc.k);
  std::vector<uint8_t> cppOut(room + kGuards, kGuard), cOut(room + kGuards, kGuard);
  const auto decoded = capture<uint64_t>([&] { return fr::decodeInto(frame, cppOut.data(), room); });
  uint64_t count = 0;
  expectReport("decode", vaskor_frame_decode(frame.data(), frame.size(), cOut.data(), room, &count, &e), e, decoded);
  if (!decoded.failed && count != decoded.value) fail("decode count", std::to_string(count));
  if (cOut != cppOut) fail("decode wrote other bytes than C++", shown(decoded));
  const size_t keep = decoded.failed ? 0 : needed;
  for (size_t i = keep; i < cOut.size(); ++i)
    if (cOut[i] != kGuard) fail("decode wrote outside its values", std::to_string(i));
  return 0;
}
