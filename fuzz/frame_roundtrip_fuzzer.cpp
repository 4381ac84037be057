// Bytes to a typed column and options, encoded as a frame: the same bytes
// as the slow model, through encode and through encodeInto with exact,
// short or spare room (short is refused, nothing written), and decoded
// back to the column.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_common.hpp"
#include "tests/reference/frame_model.hpp"
#include "vaskor/frame.hpp"

using namespace vaskor_fuzz;
namespace frame = vaskor::frame;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  const uint8_t mode = r.byte();
  const frame::ElementType type = kElementTypes[mode & 7];
  const frame::Options o{mode & 8 ? frame::Layout::wholeByte : frame::Layout::bitPacked,
                         mode & 16 ? frame::Transform::delta : frame::Transform::frameOfReference};
  const RoomChoice room = readRoom(r);
  const size_t used = size - r.left();
  const std::vector<int64_t> words = readValues(data + used, size - used);

  // The items: the low itemSize bytes of each word.
  const size_t item = frame::itemSize(type);
  std::vector<uint8_t> items(words.size() * item);
  std::vector<uint64_t> low(words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    low[i] = item == 8 ? static_cast<uint64_t>(words[i]) : static_cast<uint64_t>(words[i]) & ((uint64_t{1} << (8 * item)) - 1);
    std::memcpy(items.data() + i * item, &low[i], item);  // little-endian host
  }
  const vaskor_ref::FrameChoice c{static_cast<int>(item), frame::isSigned(type), o.layout == frame::Layout::wholeByte,
                                  o.transform == frame::Transform::delta};
  const std::vector<uint8_t> want = vaskor_ref::frameEncode(c, low);
  const std::vector<uint8_t> got = frame::encode(type, items.data(), words.size(), o);
  if (got != want) fail("encode differs from the model", std::to_string(got.size()) + " against " + std::to_string(want.size()) + " bytes");

  checkEncodeInto(got, roomFor(room, got.size(), frame::maxFrameSize(type, words.size(), o.layout)), true,
                  [&](std::span<uint8_t> out) { return frame::encodeInto(type, items.data(), words.size(), o, out); });

  std::vector<uint8_t> back(items.size());
  if (frame::decodeInto(got, back.data(), back.size()) != words.size() || back != items)
    fail("decode does not give the column back", std::to_string(words.size()) + " values");
  return 0;
}
