// The C entries against the C++ forms: identical bytes for every element
// type, layout and transform and for both raw formats; each status from the
// failure that produces it; and no exception crossing, memory exhaustion
// and foreign exceptions included (forced through this program's operator
// new, which the statically linked C interface calls).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "vaskor/bpe.hpp"
#include "vaskor/frame.hpp"
#include "vaskor/ne.hpp"
#include "vaskor/vaskor.h"

namespace {

// 0: allocate; 1: throw bad_alloc once; 2: a std::exception once; 3: an int once.
thread_local int allocationFault = 0;

}  // namespace

void* operator new(std::size_t n) {
  const int fault = allocationFault;
  allocationFault = 0;
  if (fault == 1) throw std::bad_alloc();
  if (fault == 2) throw std::runtime_error("injected");
  if (fault == 3) throw 3;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// GCC sees the inlined replacement new and warns that free does not match it.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

namespace {

namespace fr = vaskor::frame;

constexpr vaskor_type kTypes[] = {VASKOR_INT8,  VASKOR_INT16,  VASKOR_INT32,  VASKOR_INT64,
                                  VASKOR_UINT8, VASKOR_UINT16, VASKOR_UINT32, VASKOR_UINT64};

// Items of `size` bytes: extremes, repeats, small steps and random words.
std::vector<uint8_t> itemsOf(size_t size, size_t n) {
  std::vector<uint8_t> out(n * size);
  uint64_t x = 0x9E3779B97F4A7C15u;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    const uint64_t v = i % 5 == 0 ? ~uint64_t{0} << (i % 64) : i % 3 == 0 ? i : x;
    std::memcpy(out.data() + i * size, &v, size);  // low bytes on this little-endian host
  }
  return out;
}

TEST(CapiFrame, SameBytesAndValuesAsCpp) {
  for (vaskor_type t : kTypes)
    for (vaskor_layout l : {VASKOR_BIT_PACKED, VASKOR_WHOLE_BYTE})
      for (vaskor_transform tr : {VASKOR_FRAME_OF_REFERENCE, VASKOR_DELTA})
        for (size_t n : {size_t{0}, size_t{1}, size_t{257}}) {
          SCOPED_TRACE(testing::Message() << "type " << t << " layout " << l << " transform " << tr << " n " << n);
          const auto type = static_cast<fr::ElementType>(t);
          const std::vector<uint8_t> items = itemsOf(fr::itemSize(type), n);
          const std::vector<uint8_t> want = fr::encode(
              type, items.data(), n, {static_cast<fr::Layout>(l), static_cast<fr::Transform>(tr)});

          vaskor_error e;
          uint64_t most = 0;
          ASSERT_EQ(vaskor_frame_max_size(t, n, l, &most, &e), VASKOR_OK) << e.message;
          EXPECT_EQ(most, fr::maxFrameSize(type, n, static_cast<fr::Layout>(l)));
          std::vector<uint8_t> got(most);
          size_t written = 0;
          ASSERT_EQ(vaskor_frame_encode(t, items.data(), n, l, tr, got.data(), got.size(), &written, &e), VASKOR_OK);
          got.resize(written);
          EXPECT_EQ(got, want);

          vaskor_frame_header h;
          ASSERT_EQ(vaskor_frame_read_header(got.data(), got.size(), &h, &e), VASKOR_OK);
          const fr::Header ch = fr::readHeader(want);
          EXPECT_EQ(h.width, ch.width);
          EXPECT_EQ(h.reference, ch.reference);
          EXPECT_EQ(h.first, ch.first);
          EXPECT_EQ(h.count, n);
          EXPECT_EQ(h.frame_size, want.size());

          std::vector<uint8_t> back(items.size());
          uint64_t count = 0;
          ASSERT_EQ(vaskor_frame_decode(got.data(), got.size(), back.data(), back.size(), &count, &e), VASKOR_OK);
          EXPECT_EQ(count, n);
          EXPECT_EQ(back, items);
        }
}

TEST(CapiRaw, SameBytesAndValuesAsCpp) {
  using Encode = vaskor_status (*)(const int64_t*, size_t, uint8_t*, size_t, size_t*, int64_t*, vaskor_error*);
  using Decode = vaskor_status (*)(const uint8_t*, size_t, int64_t, int64_t*, size_t, uint64_t*, vaskor_error*);
  struct Row {
    Encode encode;
    Decode decode;
    std::vector<uint8_t> (*cppEncode)(std::span<const int64_t>, int64_t&);
    std::vector<int64_t> (*cppDecode)(std::span<const uint8_t>, int64_t);
  };
  const Row rows[] = {{vaskor_bpe_encode, vaskor_bpe_decode, vaskor::bpe::encode, vaskor::bpe::decode},
                      {vaskor_ne_encode, vaskor_ne_decode, vaskor::ne::encode, vaskor::ne::decode}};
  const std::vector<std::vector<int64_t>> inputs = {
      {}, {0}, {1, 2, 300}, {-1, 5}, {INT64_MIN, INT64_MAX}, {1 << 20, 3, 77, 1 << 19}};
  for (const Row& r : rows)
    for (const auto& s : inputs) {
      int64_t wantWidth = 0;
      const std::vector<uint8_t> want = r.cppEncode(s, wantWidth);
      std::vector<uint8_t> got(want.size() + 3);
      size_t written = 0;
      int64_t width = -7;
      vaskor_error e;
      ASSERT_EQ(r.encode(s.data(), s.size(), got.data(), got.size(), &written, &width, &e), VASKOR_OK) << e.message;
      got.resize(written);
      EXPECT_EQ(got, want);
      EXPECT_EQ(width, wantWidth);
      const std::vector<int64_t> wantValues = r.cppDecode(want, wantWidth);
      std::vector<int64_t> back(wantValues.size() + 1);
      uint64_t count = 0;
      ASSERT_EQ(r.decode(got.data(), got.size(), width, back.data(), back.size(), &count, &e), VASKOR_OK);
      back.resize(count);
      EXPECT_EQ(back, wantValues);
    }
}

// One call for each status; `fault` forces the next allocation to fail.
TEST(CapiStatus, EachFailureItsStatusNoExceptionEscapes) {
  const int16_t values[] = {5, -3, 900};
  std::vector<uint8_t> frame = fr::encode(std::span<const int16_t>(values));
  std::vector<uint8_t> newer = frame;
  newer[4] = fr::kVersion + 1;
  int16_t out[3];
  uint64_t count = 0;
  auto decode = [&](const std::vector<uint8_t>& f, size_t room, vaskor_error* e) {
    return vaskor_frame_decode(f.data(), f.size(), out, room, &count, e);
  };
  struct Case {
    const char* what;
    int fault;
    vaskor_status want;
    const char* message;
    std::vector<uint8_t> frame;
    size_t room;
  };
  std::vector<uint8_t> bad = frame;
  bad[9] = 1;
  const Case cases[] = {
      {"ok", 0, VASKOR_OK, "", frame, sizeof out},
      {"room", 0, VASKOR_OUTPUT_TOO_SMALL, "ValueError: output too small: 6 bytes needed, 5 available", frame, 5},
      {"corrupt", 0, VASKOR_CORRUPT_FRAME, "FrameError: frame reserved bytes 9-15 are not zero", bad, sizeof out},
      {"newer", 0, VASKOR_UNSUPPORTED_VERSION, "FrameVersionError: frame version 3 is newer", newer, sizeof out},
      {"memory", 1, VASKOR_OUT_OF_MEMORY, "out of memory", frame, 5},
      {"std::exception", 2, VASKOR_INTERNAL, "C++ exception: injected", frame, 5},
      {"anything", 3, VASKOR_INTERNAL, "unknown C++ exception", frame, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    vaskor_error e;
    std::memset(&e, 0x7f, sizeof e);
    allocationFault = c.fault;
    const vaskor_status s = decode(c.frame, c.room, &e);
    allocationFault = 0;
    EXPECT_EQ(s, c.want) << vaskor_status_name(s) << ": " << e.message;
    EXPECT_EQ(e.status, c.want);
    EXPECT_EQ(std::string(e.message).rfind(c.message, 0), 0u) << e.message;
    allocationFault = c.fault;  // the same without a record
    EXPECT_EQ(decode(c.frame, c.room, nullptr), c.want);
    allocationFault = 0;
  }
  vaskor_error e;
  uint64_t size = 0;
  EXPECT_EQ(vaskor_frame_max_size(static_cast<vaskor_type>(3), 1, VASKOR_BIT_PACKED, &size, &e),
            VASKOR_INVALID_ARGUMENT);
  EXPECT_STREQ(e.message, "ValueError: element type 0x03 is unknown");
}

}  // namespace
