// Structured columns (runs, few distinct values, outliers, sentinels, sorted
// ids, walks, regimes, padded edges, or the input's own values) of every
// element type and transform, as blocked frames: the same bytes as the slow
// model, within maxFrameSize, through encodeInto with spare, exact or short
// room, and back whole and by range.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_common.hpp"
#include "tests/reference/blocked_model.hpp"
#include "tests/reference/columns.hpp"
#include "vaskor/frame.hpp"

using namespace vaskor_fuzz;
namespace frame = vaskor::frame;

namespace {

constexpr frame::Transform kTransforms[] = {frame::Transform::perBlock, frame::Transform::frameOfReference,
                                            frame::Transform::delta};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  const uint8_t mode = r.byte();
  const frame::ElementType type = kElementTypes[mode & 7];
  const frame::Transform transform = kTransforms[(mode >> 3) % 3];
  const RoomChoice room = readRoom(r);
  const size_t item = frame::itemSize(type);
  const uint64_t mask = item == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * item)) - 1;
  std::vector<uint64_t> low;
  if (mode & 0x80) {
    // A shaped column from a seed, or the input's own values.
    vaskor_ref::Columns columns(r.u64());
    const int shape = r.byte() % vaskor_ref::Columns::kShapes;
    low = columns.make(shape, r.u64(2) % 6000, static_cast<int>(item));
  } else {
    const size_t used = size - r.left();
    for (int64_t w : readValues(data + used, size - used, 3000)) low.push_back(static_cast<uint64_t>(w) & mask);
  }
  std::vector<uint8_t> items(low.size() * item);
  for (size_t i = 0; i < low.size(); ++i) std::memcpy(items.data() + i * item, &low[i], item);  // little-endian host
  const frame::Options o{frame::Layout::blocked, transform};
  const std::vector<uint8_t> want =
      vaskor_ref::blockedEncode({static_cast<int>(item), frame::isSigned(type), static_cast<int>(transform)}, low);
  const std::vector<uint8_t> got = frame::encode(type, items.data(), low.size(), o);
  if (got != want) fail("encode differs from the model", std::to_string(got.size()) + " against " + std::to_string(want.size()) + " bytes");
  const uint64_t most = frame::maxFrameSize(type, low.size(), o.layout);
  if (got.size() > most) fail("a frame past maxFrameSize", std::to_string(got.size()) + " > " + std::to_string(most));

  // Spare room holds the index while the blocks are written.
  checkEncodeInto(got, roomFor(room, got.size(), most), false,
                  [&](std::span<uint8_t> out) { return frame::encodeInto(type, items.data(), low.size(), o, out); });

  std::vector<uint8_t> back(items.size());
  if (frame::decodeInto(got, back.data(), back.size()) != low.size() || back != items)
    fail("decode does not give the column back", std::to_string(low.size()) + " values");
  for (int k = 0; k < 3 && !low.empty(); ++k) {
    const uint64_t a = r.u64(2) % (low.size() + 1), b = a + r.u64(2) % (low.size() - a + 1);
    std::vector<uint8_t> part((b - a) * item);
    frame::decodeRangeInto(got, a, b, part.data(), part.size());
    if (!std::equal(part.begin(), part.end(), items.begin() + a * item))
      fail("a range decode differs", std::to_string(a) + " to " + std::to_string(b));
  }
  return 0;
}
