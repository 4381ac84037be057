// The blocked layout: the fast encoder against the slow model byte for byte
// on structured random columns of every type and transform, through every
// kernel row; decodes whole and by range; the block summaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

#include "detail/kernels.hpp"
#include "tests/core/test_support.hpp"
#include "tests/reference/blocked_model.hpp"
#include "tests/reference/columns.hpp"
#include "vaskor/frame.hpp"

namespace {

using namespace core_test;
using vaskor::frame::ElementType;
using vaskor::frame::Transform;
using Raw = std::vector<uint64_t>;

constexpr ElementType kTypes[] = {ElementType::int8,  ElementType::int16,  ElementType::int32,  ElementType::int64,
                                  ElementType::uint8, ElementType::uint16, ElementType::uint32, ElementType::uint64};
constexpr Transform kTransforms[] = {Transform::perBlock, Transform::frameOfReference, Transform::delta};

Bytes itemsOf(ElementType t, const Raw& v) {
  const size_t size = vaskor::frame::itemSize(t);
  Bytes out(v.size() * size);
  for (size_t i = 0; i < v.size(); ++i) std::memcpy(out.data() + i * size, &v[i], size);  // little-endian host
  return out;
}

TEST(BlockedDifferential, SameBytesAsTheModelAndBackWholeAndByRange) {
  vaskor_ref::Columns columns(4242);
  int checked = 0;
  const vaskor::detail::Kernels& chosen = vaskor::detail::kernels();
  for (const vaskor::detail::KernelRow& row : vaskor::detail::kernelRows()) {
    if (!row.supported) continue;
    vaskor::detail::useKernels(*row.kernels);
    for (int round = 0; round < 40; ++round)
      for (ElementType t : kTypes) {
        const int shape = static_cast<int>(columns.below(vaskor_ref::Columns::kShapes));
        const size_t size = vaskor::frame::itemSize(t);
        const Raw v = columns.make(shape, columns.length(), static_cast<int>(size));
        const Transform tr = kTransforms[columns.below(3)];
        const Bytes items = itemsOf(t, v);
        const std::string where = std::string(row.kernels->name) + " " + vaskor::frame::nameOf(t) + " shape " +
                                  std::to_string(shape) + " n " + std::to_string(v.size()) + " transform " +
                                  vaskor::frame::nameOf(tr);
        const Bytes frame = vaskor::frame::encode(t, items.data(), v.size(), {vaskor::frame::Layout::blocked, tr});
        const Bytes model = vaskor_ref::blockedEncode(
            {static_cast<int>(size), vaskor::frame::isSigned(t), static_cast<int>(tr)}, v);
        const auto differ = std::mismatch(frame.begin(), frame.end(), model.begin(), model.end());
        ASSERT_TRUE(frame == model) << where << ": " << frame.size() << " bytes against the model's " << model.size()
                                    << ", first unlike at " << (differ.first - frame.begin());
        ASSERT_LE(frame.size(), vaskor::frame::maxFrameSize(t, v.size(), vaskor::frame::Layout::blocked)) << where;
        ASSERT_EQ(vaskor_ref::blockedDecode(model), v) << where;
        Bytes back(items.size());
        ASSERT_EQ(vaskor::frame::decodeInto(frame, back.data(), back.size()), v.size()) << where;
        ASSERT_EQ(back, items) << where;
        for (int r = 0; r < 4 && !v.empty(); ++r) {
          const uint64_t a = columns.below(v.size() + 1), b = a + columns.below(v.size() - a + 1);
          Bytes part((b - a) * size);
          ASSERT_EQ(vaskor::frame::decodeRangeInto(frame, a, b, part.data(), part.size()), b - a) << where;
          ASSERT_TRUE(std::equal(part.begin(), part.end(), items.begin() + a * size)) << where << " [" << a << ", " << b << ")";
        }
        const vaskor::frame::BlockSummary s = vaskor::frame::readBlocks(frame);
        uint64_t blocks = 0;
        for (uint64_t c : s.schemes) blocks += c;
        ASSERT_EQ(blocks, (v.size() + 1023) / 1024) << where;
        ++checked;
      }
  }
  vaskor::detail::useKernels(chosen);
  EXPECT_GT(checked, 0);
}

// The worked examples of docs/frame-format.md: one block each, the segment
// data and the index after the header.
TEST(BlockedVectors, EachSchemeByteForByte) {
  struct Vector {
    ElementType type;
    Raw values;
    const char* scheme;
    const char* data;
    const char* index;
  };
  Raw runs;
  for (uint64_t v : {1000000, 7, 500000}) runs.insert(runs.end(), 8, v);
  const uint64_t big = uint64_t{1} << 40;
  const Vector vectors[] = {
      {ElementType::int16, {5, 5, 5}, "constant", "01 0500", "01 03"},
      {ElementType::int8, {5, 3, 9}, "for", "02 03 02 00CF", "01 05"},
      {ElementType::int32, {1000, 1010, 1020, 1030, 1040, 1050}, "delta", "03 00 0A000000 E8030000", "01 0A"},
      {ElementType::int16, {1, 2, 3, 1, 2, 3, 1, 30000}, "patched", "04 02 0000 0100 0D 6DB4 0700 1D4C", "01 0D"},
      {ElementType::int32, {10, 20, 30, 40, 50, 1000000, 1000010, 1000020}, "patched_delta",
       "05 00 0A000000 0100 14 0A000000 0500 0F4204", "01 12"},
      {ElementType::int64, {big, 7, big, 7, big, big, 7, 7}, "dictionary",
       "06 28 0200 0700000000000000 0000000000FFFFFFFFF9 AC", "01 17"},
      {ElementType::int32, runs, "rle", "07 14 00 0300 00000000 0800 0F42400000 77A120", "01 13"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.scheme);
    const Bytes data = hex(v.data);
    Bytes want = hex("56534B46 02 03");
    want.push_back(static_cast<uint8_t>(v.type));
    for (uint8_t b : hex("03 0A 00000000000000")) want.push_back(b);
    for (uint64_t word : {uint64_t{v.values.size()}, uint64_t{1}, uint64_t{data.size()}})
      for (int k = 0; k < 8; ++k) want.push_back(static_cast<uint8_t>(word >> (8 * k)));
    want.insert(want.end(), data.begin(), data.end());
    for (uint8_t b : hex(v.index)) want.push_back(b);
    const Bytes items = itemsOf(v.type, v.values);
    EXPECT_EQ(vaskor::frame::encode(v.type, items.data(), v.values.size(), vaskor::frame::kBlocked), want);
    EXPECT_EQ(vaskor_ref::blockedEncode({static_cast<int>(vaskor::frame::itemSize(v.type)),
                                         vaskor::frame::isSigned(v.type), 3},
                                        v.values),
              want);
    EXPECT_STREQ(vaskor::frame::nameOf(vaskor::frame::readBlock(want, 0).scheme), v.scheme);
    Bytes back(items.size());
    vaskor::frame::decodeInto(want, back.data(), back.size());
    EXPECT_EQ(back, items);
  }
}

TEST(BlockedFixtures, CommittedFramesDecodeAndEncodeToThemselves) {
  std::ifstream in(std::string(VASKOR_FIXTURES) + "/blocked_frames.txt");
  ASSERT_TRUE(in) << "tests/fixtures/blocked_frames.txt";
  std::string line;
  std::set<std::string> types, schemes;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string type, transform, named, text;
    fields >> type >> transform >> named >> text;
    SCOPED_TRACE(type + " " + transform);
    const Bytes frame = hex(text);
    const vaskor::frame::Header h = vaskor::frame::readHeader(frame);
    ASSERT_EQ(vaskor::frame::nameOf(h.type), type);
    ASSERT_EQ(vaskor::frame::nameOf(h.transform), transform);
    Bytes items(h.count * vaskor::frame::itemSize(h.type));
    vaskor::frame::decodeInto(frame, items.data(), items.size());
    EXPECT_EQ(vaskor::frame::encode(h.type, items.data(), h.count, {h.layout, h.transform}), frame);
    // Its blocks' schemes, as the line names them.
    const vaskor::frame::BlockSummary s = vaskor::frame::readBlocks(frame);
    std::set<std::string> found, listed;
    for (size_t k = 0; k <= vaskor::frame::kSchemeMax; ++k)
      if (s.schemes[k] != 0) found.insert(vaskor::frame::nameOf(static_cast<vaskor::frame::Scheme>(k)));
    for (std::istringstream list(named); std::getline(list, text, ',');) listed.insert(text);
    EXPECT_EQ(found, listed);
    schemes.insert(found.begin(), found.end());
    types.insert(type);
  }
  EXPECT_EQ(types.size(), 8u);
  EXPECT_EQ(schemes.size(), vaskor::frame::kSchemeMax);
}

}  // namespace
