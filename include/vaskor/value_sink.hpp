// Where a decoder can hand its values as they are unpacked, for a caller
// that turns them into something else at once (the Python binding makes each
// one a Python int) instead of keeping the whole decoded sequence first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vaskor {

class ValueSink {
 public:
  // The number of values that follow; called once, after every check of the
  // input has passed. Returning false stops the decode.
  virtual bool start(uint64_t count) = 0;
  // The next `n` values in order, a few thousand at most, in storage that is
  // reused after the call. Returning false stops the decode.
  virtual bool take(const int64_t* values, size_t n) = 0;

 protected:
  ~ValueSink() = default;
};

}  // namespace vaskor
