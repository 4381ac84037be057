// Where the decoders put values as they unpack them, piece by piece:
// `at()` is where the next piece goes, at most `room` values; `put(n)` takes
// the n values just written and returns false to stop.
#pragma once

#include <cstdint>
#include <vector>

#include "vaskor/value_sink.hpp"

namespace vaskor::detail {

// Straight into the caller's storage. `room` keeps a piece's offsets in
// range for the codec's widest groups.
template <uint64_t kRoom>
struct SpanOut {
  int64_t* next;
  static constexpr uint64_t room = kRoom;
  int64_t* at() { return next; }
  bool put(uint64_t n) {
    next += n;
    return true;
  }
};

// Through a buffer that stays in the first-level cache, handed to a sink.
template <uint64_t kRoom>
struct SinkOut {
  ValueSink& sink;
  int64_t* stage;
  static constexpr uint64_t room = kRoom;
  int64_t* at() { return stage; }
  bool put(uint64_t n) { return sink.take(stage, n); }
};

// Appends to a vector reserved up front: each value is written to it once,
// where sizing it first would write every value twice (zeros, then the value).
struct VectorSink final : ValueSink {
  std::vector<int64_t>& out;
  explicit VectorSink(std::vector<int64_t>& o) : out(o) {}
  bool start(uint64_t count) override {
    out.reserve(count);
    return true;
  }
  bool take(const int64_t* values, size_t n) override {
    out.insert(out.end(), values, values + n);
    return true;
  }
};

}  // namespace vaskor::detail
