// encodeInto and decodeInto take no heap memory: every operator new of this
// test program is counted, and a call into caller storage must add none.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/core/random_inputs.hpp"
#include "tests/core/test_support.hpp"

namespace {
std::atomic<uint64_t> gNews{0};
}  // namespace

void* operator new(size_t size) {
  ++gNews;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace core_test;

TEST(CallerStorage, TakesNoHeapMemory) {
  RandomInputs gen(7100);
  // Every width, short and long inputs (past the first chunk), both room cases.
  for (int bits = 0; bits <= 63; ++bits)
    for (size_t n : {size_t{5}, size_t{700}, size_t{300000}}) {
      const Values s = gen.values(n, bits);
      Bytes roomy(vaskor::bpe::maxPackedSize(n));
      Bytes wholeRoomy(vaskor::ne::maxPackedSize(n));
      int64_t w = 0, nb = 0;
      Bytes exact = vaskor::bpe::encode(s, w);
      Bytes wholeExact = vaskor::ne::encode(s, nb);
      Values back(n + 64);

      const uint64_t before = gNews;
      vaskor::bpe::encodeInto(s, roomy, w);
      vaskor::bpe::encodeInto(s, exact, w);
      vaskor::ne::encodeInto(s, wholeRoomy, nb);
      vaskor::ne::encodeInto(s, wholeExact, nb);
      vaskor::bpe::decodeInto(exact, w, back);
      vaskor::bpe::decodeInto(exact, 72, back);  // wider than any block kernel
      vaskor::ne::decodeInto(wholeExact, nb, back);
      vaskor::ne::decodeInto(wholeExact, 11, back);
      EXPECT_EQ(gNews - before, 0u) << "bits=" << bits << " n=" << n;
    }
}

}  // namespace
