// The sink behind both decoders' plain form (private): the values land in a
// vector reserved at its exact size, each piece appended once.
#pragma once

#include <vector>

#include "vaskor/value_sink.hpp"

namespace vaskor::detail {

class VectorSink final : public ValueSink {
 public:
  bool start(uint64_t count) override {
    values.reserve(count);
    return true;
  }
  bool take(const int64_t* v, size_t n) override {
    values.insert(values.end(), v, v + n);
    return true;
  }

  std::vector<int64_t> values;
};

}  // namespace vaskor::detail
