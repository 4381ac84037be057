// Corrupt blocked frames, field by field, from a frame with a segment of
// every scheme: each raises FrameError naming the field, from a whole
// decode and from the block summaries or a range decode over it; a fault in
// the header, the index or a segment's description and exceptions leaves
// the output untouched, one in a block's contents only the blocks before it
// written.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "tests/core/test_support.hpp"
#include "vaskor/frame.hpp"

namespace {

using namespace core_test;
namespace fr = vaskor::frame;

// Seven blocks, each its own segment: constant, for, delta, patched,
// patched_delta, dictionary (3 values, 2-bit codes), rle.
std::vector<int64_t> everyScheme() {
  std::vector<int64_t> v;
  std::mt19937_64 rng(5);
  for (int i = 0; i < 1024; ++i) v.push_back(7);
  for (int i = 0; i < 1024; ++i) v.push_back(static_cast<int64_t>(rng() % 4096));
  for (int i = 0; i < 1024; ++i) v.push_back(100000 + i * 1000 + static_cast<int64_t>(rng() % 7));
  for (int i = 0; i < 1024; ++i) v.push_back(i == 500 ? int64_t{1} << 40 : static_cast<int64_t>(rng() % 256));
  for (int i = 0; i < 1024; ++i) v.push_back(5000000 + i * 3 + (i >= 700 ? int64_t{1} << 35 : 0));
  const int64_t table[3] = {-5, int64_t{1} << 30, int64_t{1} << 33};
  for (int i = 0; i < 1024; ++i) v.push_back(table[rng() % 3]);
  for (int i = 0; i < 1024; ++i) v.push_back((i / 100 + 1) * 977);
  return v;
}

struct Corrupt {
  const char* name;
  std::function<void(Bytes&)> spoil;
  const char* says;   // in the message
  int writtenBlocks;  // blocks a whole decode writes before it fails
};
// Found before anything is written, by the summaries too.
constexpr int kSummaries = -1;

TEST(BlockedErrors, EachFieldChecked) {
  const std::vector<int64_t> values = everyScheme();
  const Bytes good = fr::encode<int64_t>(values, fr::kBlocked);
  const fr::Scheme order[] = {fr::Scheme::constant, fr::Scheme::frameOfReference, fr::Scheme::delta,
                              fr::Scheme::patched,  fr::Scheme::patchedDelta,     fr::Scheme::dictionary,
                              fr::Scheme::runLength};
  // Where each block's own bytes and its segment's description lie.
  std::vector<size_t> at, description;
  const size_t descriptionBytes[] = {9, 10, 10, 13, 13, 4 + 8 + 13, 15};
  for (uint64_t b = 0; b < 7; ++b) {
    const fr::BlockInfo i = fr::readBlock(good, b);
    ASSERT_EQ(i.scheme, order[b]);
    ASSERT_EQ(i.segment, b);
    at.push_back(i.offset);
    description.push_back(i.offset - descriptionBytes[b]);
  }
  const size_t patchedTail = at[3] + 1024;  // its one exception: a position, then the overflow
  const size_t indexAt = good.size() - 2;   // 7 block ends of 3 bits, 7 byte ends of 12 bits: 3 + 11 bytes
  auto set = [](size_t where, uint8_t b) { return [=](Bytes& f) { f[where] = b; }; };
  auto add = [](size_t where, int d) { return [=](Bytes& f) { f[where] = static_cast<uint8_t>(f[where] + d); }; };
  const std::vector<Corrupt> table = {
      {"block size", set(8, 11), "frame block size 2^11 is not 2^10", kSummaries},
      {"segments", set(24, 0), "frame of 7 blocks has 0 segments", kSummaries},
      {"segments past blocks", set(24, 8), "frame of 7 blocks has 8 segments", kSummaries},
      {"data bytes", add(32, 1), "its header gives", kSummaries},
      {"truncated", [](Bytes& f) { f.pop_back(); }, "its header gives", kSummaries},
      {"reserved", set(12, 1), "frame reserved bytes 9-15 are not zero", kSummaries},
      {"index padding", [=](Bytes& f) { f[indexAt - 12] |= 0x80; }, "frame index padding bits are not zero", kSummaries},
      {"index block end", [=](Bytes& f) { f[indexAt - 12] &= 0xe3; }, "frame index entry 0: blocks 0 to 0", kSummaries},
      {"scheme", set(description[1], 9), "frame segment 1 has unknown scheme 9", kSummaries},
      {"scheme of the transform", set(7, 1), "frame segment 2 (delta): transform 'for' does not allow it", kSummaries},
      {"width", set(description[1] + 1, 65), "frame segment 1 (for): width 65 exceeds 64 bits", kSummaries},
      {"segment size", set(description[1] + 1, 13), "frame segment 1 (for): is 1546 bytes, its description", kSummaries},
      {"exception count", add(description[3] + 10, 1), "frame segment 3 (patched): is", kSummaries},
      {"overflow width", set(description[3] + 12, 60), "frame segment 3 (patched): overflow width 60", kSummaries},
      {"exception position", [=](Bytes& f) { f[patchedTail] = 0; f[patchedTail + 1] = 4; },
       "frame segment 3 (patched): exception position 1024 is past its 1024 values", kSummaries},
      {"difference exception at a block's start", [=](Bytes& f) { f[at[4] + 8] = 0; f[at[4] + 9] = 0; },
       "frame segment 4 (patched_delta): exception position 0 is a block's first value", kSummaries},
      {"dictionary entries", [=](Bytes& f) { f[description[5] + 2] = 0; }, "table of 0 entries", kSummaries},
      {"dictionary table", [=](Bytes& f) { std::memset(&f[description[5] + 12], 0, 13); },
       "frame segment 5 (dictionary): table entries do not rise", kSummaries},
      {"dictionary code", [=](Bytes& f) { f[at[5] + 100] = 0xff; }, "code 3 is past its table's 3 entries", 5},
      {"delta's first field", set(at[2] + 8, 0xf0), "block 2's first field is not 0", 2},
      {"field padding", [=](Bytes& f) { f[at[6]] |= 0x80; }, "frame segment 6 (rle): padding bits are not zero", 6},
      {"runs", add(description[6] + 13, 1), "runs of block 6 do not cover its 1024 values", 6},
      {"empty run", [=](Bytes& f) { f[description[6] + 13] = 0; f[description[6] + 14] = 0; std::memset(&f[at[6] + 18], 0, 12); },
       "run 0 of block 6 is empty", 6},
  };
  for (const Corrupt& c : table) {
    SCOPED_TRACE(c.name);
    Bytes frame = good;
    c.spoil(frame);
    std::vector<int64_t> out(values.size(), 0x5a5a);
    const Outcome o = run([&] {
      fr::decodeInto(frame, out.data(), out.size() * 8);
      return Values{};
    });
    EXPECT_EQ(o.kind, "FrameError");
    EXPECT_NE(o.msg.find(c.says), std::string::npos) << o.msg;
    const size_t written = c.writtenBlocks < 0 ? 0 : 1024 * static_cast<size_t>(c.writtenBlocks);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + written, values.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + written, out.end(), [](int64_t x) { return x == 0x5a5a; }));
    // A range over the faulty part, and the summaries, fail the same way
    // where they read it.
    if (c.writtenBlocks != kSummaries) {
      const Outcome r = run([&] {
        fr::decodeRangeInto(frame, 1024 * c.writtenBlocks + 3, 1024 * c.writtenBlocks + 1000, out.data(), 8000);
        return Values{};
      });
      EXPECT_EQ(r.kind, "FrameError");
      EXPECT_NE(r.msg.find(c.says), std::string::npos) << r.msg;
    } else {
      EXPECT_EQ(run([&] { fr::readBlocks(frame); return Values{}; }).kind, "FrameError");
    }
  }
}

}  // namespace
