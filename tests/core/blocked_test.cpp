// The blocked layout: the fast encoder against the slow model byte for byte
// on structured random columns of every type and transform, through every
// kernel row; decodes whole and by range; the block summaries.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

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

Raw wordsOf(ElementType t, const Bytes& items) {
  const size_t size = vaskor::frame::itemSize(t);
  Raw out(items.size() / size);
  for (size_t i = 0; i < out.size(); ++i) std::memcpy(&out[i], items.data() + i * size, size);
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

}  // namespace
