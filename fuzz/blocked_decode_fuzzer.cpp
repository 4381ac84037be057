// Any bytes as a blocked frame: a whole decode, range decodes at bounds the
// input picks, the block summaries and each block's description. Each gives
// values or a FrameError, never a crash or a touch outside the buffer; what
// decodes whole decodes the same by range, its summaries read, and its
// values encode to a frame that gives them back.
#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_common.hpp"
#include "vaskor/frame.hpp"

using namespace vaskor_fuzz;
namespace frame = vaskor::frame;

namespace {

constexpr uint8_t kGuard = 0x5A;
constexpr size_t kGuards = 16;
// The most values decoded whole (a header may claim any count).
constexpr uint64_t kMaxValues = uint64_t{1} << 17;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r(data, size);
  const uint64_t a = r.u64(3), b = r.u64(3);
  const size_t used = size - r.left();
  const std::span<const uint8_t> f(data + used, std::min(size - used, kMaxData + frame::kHeaderSize));
  auto header = capture<frame::Header>([&] { return frame::readHeader(f); });
  if (header.failed) return 0;
  const frame::Header& h = header.value;
  if (h.count > kMaxValues) return 0;
  const size_t item = frame::itemSize(h.type);
  std::vector<uint8_t> out(h.count * item + kGuards, kGuard);
  auto whole = capture<uint64_t>([&] { return frame::decodeInto(f, out.data(), h.count * item); });
  if (whole.failed && whole.kind != "FrameError") fail("a whole decode failed otherwise", whole.kind + ": " + whole.msg);
  for (size_t i = h.count * item; i < out.size(); ++i)
    if (out[i] != kGuard) fail("decodeInto wrote past its values", std::to_string(i));
  auto summary = capture<frame::BlockSummary>([&] { return frame::readBlocks(f); });
  if (summary.failed && summary.kind != "FrameError") fail("readBlocks failed otherwise", summary.msg);

  // A range anywhere: the same values as the whole decode gave, or a FrameError.
  const uint64_t start = h.count == 0 ? 0 : a % (h.count + 1), stop = start + (h.count == 0 ? 0 : b % (h.count - start + 1));
  std::vector<uint8_t> part((stop - start) * item + kGuards, kGuard);
  auto range = capture<uint64_t>([&] { return frame::decodeRangeInto(f, start, stop, part.data(), (stop - start) * item); });
  if (range.failed && range.kind != "FrameError") fail("a range decode failed otherwise", range.kind + ": " + range.msg);
  for (size_t i = (stop - start) * item; i < part.size(); ++i)
    if (part[i] != kGuard) fail("decodeRangeInto wrote past its values", std::to_string(i));
  if (whole.failed) return 0;
  if (range.failed) fail("a frame that decodes whole fails by range", range.msg);
  if (!std::equal(part.begin(), part.end() - kGuards, out.begin() + start * item))
    fail("a range decode differs from the whole", std::to_string(start) + " to " + std::to_string(stop));
  if (summary.failed) fail("a frame that decodes has no summary", summary.msg);
  uint64_t blocks = 0;
  for (uint64_t c : summary.value.schemes) blocks += c;
  if (blocks != summary.value.blocks) fail("the schemes' blocks do not add up", std::to_string(blocks));
  for (uint64_t i = 0; i < summary.value.blocks; ++i) {
    const frame::BlockInfo info = frame::readBlock(f, i);
    if (info.offset + info.size > f.size()) fail("a block's bytes lie past the frame", std::to_string(i));
  }
  // Its values encode to a frame that gives them back.
  const std::vector<uint8_t> again = frame::encode(h.type, out.data(), h.count, {h.layout, h.transform});
  std::vector<uint8_t> back(h.count * item);
  frame::decodeInto(again, back.data(), back.size());
  if (!std::equal(back.begin(), back.end(), out.begin())) fail("re-encoded values decode differently", "");
  return 0;
}
