// Both codecs into caller storage (maxPackedSize / encodeInto, decodedCount /
// decodeInto) against the reference model and the vector forms: the same
// bytes and values with exact or spare room, nothing written outside the
// result, and every failure (too little room included) raised before a
// byte or value is written.
#include <gtest/gtest.h>

#include <string>

#include "tests/core/random_inputs.hpp"
#include "tests/core/test_support.hpp"

namespace {

using namespace core_test;

// The caller-storage forms through each format's descriptor.
struct IntoApi {
  const Codec& reference;
  const Codec& library;
  const vaskor::Codec& codec;
};

const IntoApi kApis[] = {{kBpeRef, kBpe, vaskor::bpe::codec}, {kNeRef, kNe, vaskor::ne::codec}};

constexpr uint8_t kGuardByte = 0xA5;
constexpr int64_t kGuardValue = 0x5A5A5A5A5A5A5A5A;

std::string tooSmall(uint64_t needed, uint64_t available, const char* unit) {
  return "output too small: " + std::to_string(needed) + " " + unit + " needed, " + std::to_string(available) +
         " available";
}

// `s` packed into room for exactly its bytes, for any width, and for one
// byte less; `want` from the reference model or the vector form.
void checkEncode(const IntoApi& c, const Values& s, const Bytes& want, int64_t wantWidth) {
  const std::string at = std::string(c.codec.name) + " n=" + std::to_string(s.size()) + " w=" + std::to_string(wantWidth);
  for (uint64_t room : {uint64_t{want.size()}, c.codec.maxPackedSize(s.size())}) {
    Bytes out(room + 8, kGuardByte);
    int64_t width = -1;
    ASSERT_EQ(c.codec.encodeInto(s, std::span(out).first(room), width), want.size()) << at << " room=" << room;
    ASSERT_EQ(width, wantWidth) << at;
    ASSERT_EQ(Bytes(out.begin(), out.begin() + static_cast<ptrdiff_t>(want.size())), want) << at << " room=" << room;
    ASSERT_EQ(Bytes(out.begin() + static_cast<ptrdiff_t>(want.size()), out.end()), Bytes(room + 8 - want.size(), kGuardByte))
        << at << " wrote past its bytes, room=" << room;
  }
  if (want.empty()) return;
  Bytes out(want.size() - 1, kGuardByte);
  int64_t width = -1;
  const Outcome o = run([&] { return Values(c.codec.encodeInto(s, out, width)); });
  EXPECT_EQ(o.kind, "ValueError") << at;
  EXPECT_EQ(o.msg, tooSmall(want.size(), out.size(), "bytes")) << at;
  EXPECT_EQ(width, -1) << at;
  EXPECT_EQ(out, Bytes(want.size() - 1, kGuardByte)) << at << " wrote before failing";
}

// `b` decoded into room for exactly its values, for more, and for one less.
void checkDecode(const IntoApi& c, const Bytes& b, int64_t l, const Outcome& want) {
  const std::string at = std::string(c.codec.name) + " l=" + std::to_string(l) + " bytes " + describe(b);
  const Outcome count = run([&] { return Values(c.codec.decodedCount(b, l)); });
  const size_t n = want.values.size();
  for (size_t room : {n, n + 9}) {
    Values out(room, kGuardValue);
    Outcome got = run([&] { return Values(c.codec.decodeInto(b, l, out)); });
    if (!got.failed) got.values.assign(out.begin(), out.begin() + static_cast<ptrdiff_t>(n));
    ASSERT_EQ(got, want) << at;
    ASSERT_EQ(Values(out.begin() + static_cast<ptrdiff_t>(want.failed ? 0 : n), out.end()),
              Values(room - (want.failed ? 0 : n), kGuardValue))
        << at << " wrote outside its values";
  }
  if (want.failed) {
    ASSERT_EQ(count, want) << at;
    return;
  }
  ASSERT_EQ(count.values.size(), n) << at;
  if (n == 0) return;
  Values out(n - 1, kGuardValue);
  const Outcome small = run([&] { return Values(c.codec.decodeInto(b, l, out)); });
  EXPECT_EQ(small.kind, "ValueError") << at;
  EXPECT_EQ(small.msg, tooSmall(n, n - 1, "values")) << at;
  EXPECT_EQ(out, Values(n - 1, kGuardValue)) << at << " wrote before failing";
}

TEST(CallerStorage, EncodeIntoMatchesReference) {
  RandomInputs gen(7000);
  for (const IntoApi& c : kApis) {
    for (int i = 0; i < 3000; ++i) {
      Values s = gen.values();
      int64_t lo = 0;
      const Bytes want = c.reference.encode(s, lo);
      checkEncode(c, s, want, lo);
    }
    // The widest field: the largest values give 65 bits (8 bytes).
    const Values top{INT64_MAX, 1, INT64_MAX - 64000, -1};
    int64_t lo = 0;
    const Bytes want = c.reference.encode(top, lo);
    checkEncode(c, top, want, lo);
  }
}

TEST(CallerStorage, EncodeIntoMatchesVectorFormOnLongInputs) {
  // Every width across blocks and chunks; then inputs long enough to be
  // packed under the first chunk's width whose largest value comes late,
  // so the pack starts over wider.
  RandomInputs gen(7001);
  for (const IntoApi& c : kApis) {
    for (int bits = 0; bits <= 63; ++bits)
      for (size_t n : {size_t{64}, size_t{2049}, size_t{4160}}) {
        const Values s = gen.values(n, bits);
        int64_t lo = 0;
        const Bytes want = c.library.encode(s, lo);
        checkEncode(c, s, want, lo);
      }
    for (size_t late : {size_t{5000}, size_t{299999}}) {
      Values s = gen.values(300000, 9);
      s[late] = INT64_MAX - 5;
      int64_t lo = 0;
      const Bytes want = c.library.encode(s, lo);
      checkEncode(c, s, want, lo);
    }
  }
}

TEST(CallerStorage, DecodeIntoMatchesReferenceAndVectorForm) {
  RandomInputs gen(7002);
  for (const IntoApi& c : kApis) {
    checkDecode(c, {}, 0, run([&] { return c.reference.decode({}, 0); }));
    for (int i = 0; i < 6000; ++i) {
      const Bytes b = gen.bytes(gen.byteLength());
      const int64_t l = gen.width();
      checkDecode(c, b, l, run([&] { return c.reference.decode(b, l); }));
    }
    // Long inputs through every kernel width and the wide widths above them.
    for (int64_t l : {1, 2, 3, 7, 8, 9, 31, 33, 63, 64, 65, 66, 72, 100, 128}) {
      const Bytes b = gen.bytes(20000 + static_cast<size_t>(l));
      checkDecode(c, b, l, run([&] { return c.library.decode(b, l); }));
    }
  }
}

TEST(CallerStorage, MaxPackedSize) {
  struct Row {
    const IntoApi& c;
    uint64_t n, bytes;
  };
  for (const Row& r : {Row{kApis[0], 0, 0}, Row{kApis[0], 1, 9}, Row{kApis[0], 8, 65}, Row{kApis[0], 9, 74},
                       Row{kApis[1], 0, 0}, Row{kApis[1], 3, 24}})
    EXPECT_EQ(r.c.codec.maxPackedSize(r.n), r.bytes) << r.c.codec.name << " n=" << r.n;
  for (const IntoApi& c : kApis) {
    const Outcome o = run([&] { return Values(c.codec.maxPackedSize(UINT64_MAX / 8)); });
    EXPECT_EQ(o.kind, "OverflowDefect") << c.codec.name;
    EXPECT_EQ(o.msg, "over- or underflow") << c.codec.name;
  }
}

}  // namespace
