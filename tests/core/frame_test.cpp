// Frames: worked vectors, round trips at the edges of every type through
// every kernel row, the slow model on random columns, and one table of
// corrupt frames with the failure each must raise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "tests/core/random_inputs.hpp"
#include "tests/core/test_support.hpp"
#include "tests/reference/frame_model.hpp"
#include "vaskor/frame.hpp"
#include "detail/kernels.hpp"

namespace {

using namespace core_test;
using vaskor::frame::ElementType;
using vaskor::frame::Layout;
using vaskor::frame::Options;
using vaskor::frame::Transform;
using vaskor_ref::FrameChoice;
using Raw = std::vector<uint64_t>;

constexpr ElementType kTypes[] = {ElementType::int8,  ElementType::int16,  ElementType::int32,  ElementType::int64,
                                  ElementType::uint8, ElementType::uint16, ElementType::uint32, ElementType::uint64};

FrameChoice choiceOf(ElementType t, Options o) {
  return {static_cast<int>(vaskor::frame::itemSize(t)), vaskor::frame::isSigned(t), o.layout == Layout::wholeByte,
          o.transform == Transform::delta};
}

uint64_t maskOf(ElementType t) {
  const size_t size = vaskor::frame::itemSize(t);
  return size == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * size)) - 1;
}

// Items of type t in native order from the low bytes of each word, and back.
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

std::string where(ElementType t, Options o, size_t n) {
  return "type " + std::to_string(static_cast<int>(t)) + (o.layout == Layout::wholeByte ? " whole-byte" : " bit-packed") +
         (o.transform == Transform::delta ? " delta " : " for ") + std::to_string(n) + " values";
}

// The library's frame of v equals the model's, through encode and through
// encodeInto with exact room, and decodes back to v.
void expectFrame(ElementType t, Options o, Raw v) {
  for (uint64_t& x : v) x &= maskOf(t);
  const Bytes items = itemsOf(t, v);
  const Bytes frame = vaskor::frame::encode(t, items.data(), v.size(), o);
  ASSERT_EQ(frame, vaskor_ref::frameEncode(choiceOf(t, o), v)) << where(t, o, v.size());
  Bytes into(frame.size());
  ASSERT_EQ(vaskor::frame::encodeInto(t, items.data(), v.size(), o, into), frame.size());
  ASSERT_EQ(into, frame);
  ASSERT_LE(frame.size(), vaskor::frame::maxFrameSize(t, v.size(), o.layout));
  Bytes back(items.size());
  ASSERT_EQ(vaskor::frame::decodeInto(frame, back.data(), back.size()), v.size());
  ASSERT_EQ(wordsOf(t, back), v) << where(t, o, v.size());
}

template <class F>
void forEachChoice(F f) {
  for (ElementType t : kTypes)
    for (Layout l : {Layout::bitPacked, Layout::wholeByte})
      for (Transform tr : {Transform::frameOfReference, Transform::delta}) f(t, Options{l, tr});
}

struct Vector {
  ElementType type;
  Options options;
  Raw values;
  const char* frame;
};

TEST(FrameVectors, ByteExact) {
  const Vector vectors[] = {
      // min 3: packed 2 0 6 in 3 bits each, 7 padding bits in front.
      {ElementType::int8, {}, {5, 3, 9},
       "56534B46 01 01 01 01 03 00000000000000 0300000000000000 0300000000000000 0000000000000000 0086"},
      // differences -2 3 0, reference -2: packed 0 5 2 in 3 bits.
      {ElementType::int16, {Layout::bitPacked, Transform::delta}, {100, 98, 101, 101},
       "56534B46 01 01 02 02 03 00000000000000 0400000000000000 FEFFFFFFFFFFFFFF 6400000000000000 002A"},
      // min 1000: packed 0 300 64535 in two bytes each.
      {ElementType::uint16, {Layout::wholeByte, Transform::frameOfReference}, {1000, 1300, 65535},
       "56534B46 01 02 12 01 02 00000000000000 0300000000000000 E803000000000000 0000000000000000 0000 012C FC17"},
      // A constant column: the header alone.
      {ElementType::int32, {}, {7, 7, 7, 7},
       "56534B46 01 01 04 01 00 00000000000000 0400000000000000 0700000000000000 0000000000000000"},
      {ElementType::int64, {Layout::bitPacked, Transform::delta}, {},
       "56534B46 01 01 08 02 00 00000000000000 0000000000000000 0000000000000000 0000000000000000"},
      // Above 2^63 - 1: min 2^63 zero-extended, packed 2^63 - 1 and 0.
      {ElementType::uint64, {Layout::wholeByte, Transform::frameOfReference}, {~uint64_t{0}, uint64_t{1} << 63},
       "56534B46 01 02 18 01 08 00000000000000 0200000000000000 0000000000000080 0000000000000000 "
       "7FFFFFFFFFFFFFFF 0000000000000000"},
      // int8 -128 127 -128 as delta: differences -1 and 1 (mod 256), reference -1.
      {ElementType::int8, {Layout::wholeByte, Transform::delta}, {0x80, 0x7f, 0x80},
       "56534B46 01 02 01 02 01 00000000000000 0300000000000000 FFFFFFFFFFFFFFFF 80FFFFFFFFFFFFFF 00 02"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.frame);
    const Bytes want = hex(v.frame);
    const Bytes items = itemsOf(v.type, v.values);
    EXPECT_EQ(vaskor::frame::encode(v.type, items.data(), v.values.size(), v.options), want);
    EXPECT_EQ(vaskor_ref::frameEncode(choiceOf(v.type, v.options), v.values), want);
    Bytes back(items.size());
    EXPECT_EQ(vaskor::frame::decodeInto(want, back.data(), back.size()), v.values.size());
    EXPECT_EQ(back, items);
  }
  // The typed calls.
  const std::vector<int8_t> typed = {5, 3, 9};
  EXPECT_EQ(vaskor::frame::encode<int8_t>(typed), hex(vectors[0].frame));
  EXPECT_EQ(vaskor::frame::decode<int8_t>(hex(vectors[0].frame)), typed);
  EXPECT_THROW(vaskor::frame::decode<uint8_t>(hex(vectors[0].frame)), vaskor::ValueError);
}

// Columns at the edges of each type: its extremes, both orders, runs,
// counts on both sides of the 64-value blocks and the 2048-value chunks.
std::vector<Raw> edgeColumns(ElementType t) {
  const uint64_t mask = maskOf(t);
  const uint64_t lo = vaskor::frame::isSigned(t) ? (mask >> 1) + 1 : 0;  // the minimum's bits
  const uint64_t hi = vaskor::frame::isSigned(t) ? mask >> 1 : mask;
  std::vector<Raw> out = {{}, {lo}, {hi}, {lo, hi}, {hi, lo}, {hi, lo, hi, 0, mask, 1}, {lo, lo, lo}};
  std::mt19937_64 rng(static_cast<uint64_t>(t));
  for (size_t n : {63, 64, 65, 127, 129, 2047, 2113, 4161}) {
    Raw alternating(n), ramp(n), random(n), narrow(n);
    for (size_t i = 0; i < n; ++i) {
      alternating[i] = i % 2 ? lo : hi;
      ramp[i] = lo + i * 3;
      random[i] = rng();
      narrow[i] = hi - rng() % 5;
    }
    out.insert(out.end(), {alternating, ramp, random, narrow});
  }
  return out;
}

TEST(FrameRoundTrip, EdgesOfEveryTypeThroughEveryRow) {
  // Width 64 (a full int64 or uint64 range) goes through every row's block
  // kernels as well as the narrow widths.
  const vaskor::detail::Kernels& chosen = vaskor::detail::kernels();
  for (const vaskor::detail::KernelRow& row : vaskor::detail::kernelRows()) {
    if (!row.supported) continue;
    vaskor::detail::useKernels(*row.kernels);
    SCOPED_TRACE(row.kernels->name);
    forEachChoice([](ElementType t, Options o) {
      for (const Raw& v : edgeColumns(t)) expectFrame(t, o, v);
    });
  }
  vaskor::detail::useKernels(chosen);
}

TEST(FrameDifferential, RandomColumnsAgainstTheModel) {
  // Columns of every span: a random base and steps of a random bit count,
  // sometimes sorted or reversed so the differences are small.
  RandomInputs gen(4242);
  for (int round = 0; round < 600; ++round) {
    const ElementType t = kTypes[gen.below(8)];
    const Options o{gen.below(2) ? Layout::wholeByte : Layout::bitPacked,
                    gen.below(2) ? Transform::delta : Transform::frameOfReference};
    const size_t n = gen.below(10) == 0 ? 64 * gen.below(40) + gen.below(3) : gen.length();
    const int bits = static_cast<int>(gen.below(65));
    const uint64_t base = gen.next();
    Raw v(n);
    uint64_t at = base;
    for (uint64_t& x : v) {
      const uint64_t step = bits == 64 ? gen.next() : gen.next() & ((uint64_t{1} << bits) - 1);
      x = gen.below(3) == 0 ? base + step : (at += step);
    }
    if (gen.below(4) == 0) std::reverse(v.begin(), v.end());
    expectFrame(t, o, v);
  }
}

// A corrupt frame and what decoding it must raise.
struct Corrupt {
  std::string name;
  std::function<void(Bytes&)> spoil;
  const char* kind;
  std::string msg;
};

TEST(FrameErrors, CorruptFramesLeaveTheOutputUntouched) {
  const std::vector<int8_t> values = {5, 3, 9};
  const Bytes good = vaskor::frame::encode<int8_t>(values);  // 7 padding bits
  auto setByte = [](size_t at, uint8_t b) { return [=](Bytes& f) { f[at] = b; }; };
  auto setWord = [](size_t at, uint64_t w) {
    return [=](Bytes& f) {
      for (int k = 0; k < 8; ++k) f[at + k] = static_cast<uint8_t>(w >> (8 * k));
    };
  };
  std::vector<Corrupt> table = {
      {"magic", setByte(3, 'G'), "FrameError", "frame magic is not VSKF"},
      {"newer version", setByte(4, 3), "FrameVersionError", "frame version 3 is newer than this library reads (2)"},
      {"version 2 of layout 1", setByte(4, 2), "FrameError", "frame layout 1 is written as version 1, not 2"},
      {"version 0", setByte(4, 0), "FrameError", "frame version 0 is invalid"},
      {"layout", setByte(5, 7), "FrameError", "frame layout 7 is unknown"},
      {"layout 0", setByte(5, 0), "FrameError", "frame layout 0 is unknown"},
      {"type", setByte(6, 0x03), "FrameError", "frame element type 0x03 is unknown"},
      {"type unsigned bit", setByte(6, 0x21), "FrameError", "frame element type 0x21 is unknown"},
      {"transform", setByte(7, 3), "FrameError", "frame transform 3 is unknown"},
      {"bit width", setByte(8, 9), "FrameError", "frame width 9 exceeds 8 bits for int8"},
      {"byte width", [](Bytes& f) { f[5] = 2; f[8] = 2; }, "FrameError", "frame width 2 exceeds 1 bytes for int8"},
      {"reserved", setByte(15, 1), "FrameError", "frame reserved bytes 9-15 are not zero"},
      {"reference", setWord(24, 0x80), "FrameError", "frame reference 0x0000000000000080 is out of range for int8"},
      {"delta reference", [&](Bytes& f) { f[7] = 2; setWord(24, 0x7fff)(f); }, "FrameError",
       "frame reference 0x0000000000007fff is out of range for a difference of int8"},
      {"first", setWord(32, 1), "FrameError", "frame first 0x0000000000000001 must be 0 for frame of reference"},
      {"delta first", [&](Bytes& f) { f[7] = 2; setWord(32, 0x100)(f); }, "FrameError",
       "frame first 0x0000000000000100 is out of range for int8"},
      {"count too large", setWord(16, uint64_t{1} << 63), "FrameError",
       "frame count 9223372036854775808 is too large: its int8 values exceed 2^63-1 bytes"},
      {"count", setWord(16, 6), "FrameError", "frame payload is 2 bytes, count and width need 3"},
      {"delta count", setByte(7, 2), "FrameError", "frame payload is 2 bytes, count and width need 1"},
      {"no values, width", [&](Bytes& f) { f.resize(40); setWord(16, 0)(f); }, "FrameError",
       "frame of no packed values has width 3 and reference 0x0000000000000003 (must be 0)"},
      {"payload short", [](Bytes& f) { f.pop_back(); }, "FrameError", "frame payload is 1 bytes, count and width need 2"},
      {"payload long", [](Bytes& f) { f.push_back(0); }, "FrameError", "frame payload is 3 bytes, count and width need 2"},
      {"padding", setByte(40, 0x02), "FrameError", "frame padding bits are not zero"},
      // A header alone may claim many values: the caller's room refuses them.
      {"huge constant", [&](Bytes& f) { f.resize(40); f[8] = 0; setWord(16, uint64_t{1} << 40)(f); }, "ValueError",
       "output too small: 1099511627776 bytes needed, 64 available"},
  };
  for (size_t n = 0; n < vaskor::frame::kHeaderSize; ++n)
    table.push_back({"truncated", [n](Bytes& f) { f.resize(n); }, "FrameError",
                     "frame is truncated: " + std::to_string(n) + " bytes, the header alone takes 40"});
  for (const Corrupt& c : table) {
    SCOPED_TRACE(c.name);
    Bytes frame = good;
    c.spoil(frame);
    uint8_t out[64];
    std::memset(out, 0xA5, sizeof out);
    const Outcome o = run([&] {
      vaskor::frame::decodeInto(frame, out, sizeof out);
      return Values{};
    });
    EXPECT_EQ(o.kind, c.kind);
    EXPECT_EQ(o.msg, c.msg);
    // readHeader raises the same for what it checks.
    if (c.name != "padding" && c.kind != std::string("ValueError")) {
      EXPECT_EQ(run([&] { vaskor::frame::readHeader(frame); return Values{}; }).msg, c.msg);
    }
    for (uint8_t b : out) ASSERT_EQ(b, 0xA5);
  }
}

TEST(FrameErrors, ShortOutputsAreRefusedBeforeWriting) {
  const std::vector<uint64_t> values = {uint64_t{1} << 63, 7, 9};
  const Bytes frame = vaskor::frame::encode<uint64_t>(values);
  Bytes out(frame.size() + 4, 0xA5);
  const Outcome enc = run([&] {
    vaskor::frame::encodeInto(ElementType::uint64, values.data(), 3, {}, std::span(out).first(frame.size() - 1));
    return Values{};
  });
  EXPECT_EQ(enc.msg, "output too small: " + std::to_string(frame.size()) + " bytes needed, " +
                         std::to_string(frame.size() - 1) + " available");
  for (uint8_t b : out) ASSERT_EQ(b, 0xA5);
  const Outcome dec = run([&] {
    vaskor::frame::decodeInto(frame, out.data(), 23);
    return Values{};
  });
  EXPECT_EQ(dec.msg, "output too small: 24 bytes needed, 23 available");
  for (uint8_t b : out) ASSERT_EQ(b, 0xA5);
  EXPECT_EQ(vaskor::frame::maxFrameSize(ElementType::int16, 10, Layout::bitPacked), 60u);
  EXPECT_THROW(vaskor::frame::maxFrameSize(ElementType::int64, uint64_t{1} << 60, Layout::wholeByte),
               vaskor::OverflowDefect);
}

}  // namespace
