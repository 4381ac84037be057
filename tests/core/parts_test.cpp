// Both codecs in parts (widthOf / packedSize / packInto, and decodeInto with
// a sink), as the Python binding uses them, against the whole operations:
// the same bytes, the same values in the same order, the same failures
// raised before the sink hears of anything, and a sink that stops the decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "tests/core/random_inputs.hpp"
#include "tests/core/test_support.hpp"

namespace {

using namespace core_test;

// Each format through its descriptor.
using Parts = vaskor::Codec;
const Parts& kBpe = vaskor::bpe::codec;
const Parts& kNe = vaskor::ne::codec;

// Records what a decoder hands over; can stop after a number of pieces.
class Recorder final : public vaskor::ValueSink {
 public:
  explicit Recorder(int stopAfter = -1) : stopAfter_(stopAfter) {}

  bool start(uint64_t count) override {
    ++starts;
    announced = count;
    return stopAfter_ != 0;
  }
  bool take(const int64_t* v, size_t n) override {
    EXPECT_EQ(starts, 1) << "values before or without start";
    EXPECT_GT(n, 0u) << "an empty piece";
    ++pieces;
    values.insert(values.end(), v, v + n);
    return stopAfter_ < 0 || pieces < stopAfter_;
  }

  int starts = 0;
  int pieces = 0;
  uint64_t announced = 0;
  Values values;

 private:
  int stopAfter_;
};

// The larger of 0 and the greatest value, as both width rules start from.
int64_t largestOf(const Values& v) {
  int64_t m = 0;
  for (int64_t x : v) m = std::max(m, x);
  return m;
}

void checkPacking(const Parts& c, const Values& s) {
  int64_t lo = 0;
  const Bytes want = c.encode(s, lo);
  const int64_t w = c.widthOfLargest(largestOf(s));
  ASSERT_EQ(w, lo) << c.name << " n=" << s.size();
  ASSERT_EQ(c.widthOf(s), lo) << c.name << " n=" << s.size();
  const uint64_t size = c.packedSize(s.size(), w);
  ASSERT_EQ(size, want.size()) << c.name << " w=" << w << " n=" << s.size();
  // Guard bytes on both sides: packInto must write exactly its bytes.
  Bytes got(size + 16, 0xA5);
  c.packInto(s, w, got.data() + 8);
  for (size_t k = 0; k < 8; ++k) {
    ASSERT_EQ(got[k], 0xA5) << c.name << " wrote before its output";
    ASSERT_EQ(got[size + 8 + k], 0xA5) << c.name << " wrote past its output, w=" << w << " n=" << s.size();
  }
  ASSERT_EQ(Bytes(got.begin() + 8, got.end() - 8), want) << c.name << " w=" << w << " n=" << s.size();
}

void checkDecoding(const Parts& c, const Bytes& b, int64_t l) {
  const Outcome want = run([&] { return c.decode(b, l); });
  Recorder rec;
  Outcome got;
  try {
    EXPECT_TRUE(c.decodeToSink(b, l, rec));
    got.values = rec.values;
    EXPECT_EQ(rec.starts, 1) << c.name << " l=" << l;
    EXPECT_EQ(rec.announced, rec.values.size()) << c.name << " l=" << l;
  } catch (const vaskor::Exception& e) {
    got.failed = true;
    got.kind = e.name ? e.name : "";
    got.msg = e.msg;
    EXPECT_EQ(rec.starts, 0) << c.name << " failed after starting, l=" << l;
  }
  ASSERT_EQ(got, want) << c.name << " l=" << l << " bytes " << describe(b);
}

TEST(CodecParts, PackIntoMatchesEncode) {
  RandomInputs gen(5000);
  for (const Parts* c : {&kBpe, &kNe}) {
    checkPacking(*c, {});
    for (int i = 0; i < 4000; ++i) checkPacking(*c, gen.values());
    // Every width, with lengths across several blocks and stages.
    for (int bits = 0; bits <= 63; ++bits)
      for (size_t n : {size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{2047}, size_t{4100}})
        checkPacking(*c, gen.values(n, bits));
  }
}

TEST(CodecParts, DescriptorsNameTheirFormatAndUnit) {
  // 255 takes 9 bits in a signed field, 1 byte in a whole-byte one.
  for (const auto& [c, name, unit, width] : {std::tuple{&kBpe, "bpe", "bits", 9}, std::tuple{&kNe, "ne", "bytes", 1}}) {
    EXPECT_STREQ(c->name, name);
    EXPECT_STREQ(c->unit, unit);
    EXPECT_EQ(c->widthOfLargest(255), width) << name;
  }
}

TEST(CodecParts, PackedSizeRaisesLikeEncode) {
  for (const Parts* c : {&kBpe, &kNe}) {
    const Outcome o = run([&] {
      c->packedSize(UINT64_MAX / 4, c->widthOfLargest(INT64_MAX));
      return Values{};
    });
    EXPECT_TRUE(o.failed) << c->name;
    EXPECT_EQ(o.kind, "OverflowDefect") << c->name;
    EXPECT_EQ(o.msg, "over- or underflow") << c->name;
  }
}

TEST(CodecParts, DecodeIntoMatchesDecode) {
  RandomInputs gen(5001);
  for (const Parts* c : {&kBpe, &kNe}) {
    checkDecoding(*c, {}, 0);
    checkDecoding(*c, {}, 5);
    checkDecoding(*c, {0}, 0);
    for (int i = 0; i < 20000; ++i) {
      const Bytes b = gen.bytes(gen.byteLength());
      checkDecoding(*c, b, gen.width());
    }
    // Long inputs: many pieces, every kind of width.
    for (int64_t l = 1; l <= 72; ++l) checkDecoding(*c, gen.bytes(40000 + static_cast<size_t>(l)), l);
  }
}

TEST(CodecParts, SinkStopsTheDecode) {
  for (const Parts* c : {&kBpe, &kNe}) {
    const Bytes b(100000, 0x5A);
    Recorder refuseStart(0);
    EXPECT_FALSE(c->decodeToSink(b, 3, refuseStart)) << c->name;
    EXPECT_EQ(refuseStart.pieces, 0) << c->name;

    Recorder all;
    ASSERT_TRUE(c->decodeToSink(b, 3, all));
    ASSERT_GT(all.pieces, 2) << c->name << ": the input should come in several pieces";
    Recorder two(2);
    EXPECT_FALSE(c->decodeToSink(b, 3, two)) << c->name;
    EXPECT_EQ(two.pieces, 2) << c->name;
    // What came before the stop is the start of the whole result.
    ASSERT_LE(two.values.size(), all.values.size());
    EXPECT_TRUE(std::equal(two.values.begin(), two.values.end(), all.values.begin())) << c->name;
  }
}

}  // namespace
