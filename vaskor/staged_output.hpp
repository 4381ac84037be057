// Builds a codec's result without first zero-filling it (private). The
// result's storage is reserved once at its exact size; each piece is made in
// a small buffer that stays in the first-level cache and then appended, so
// the output is written once instead of twice.
#pragma once

#include <cstddef>
#include <vector>

namespace vaskor::detail {

template <class T, size_t StageCount>
class StagedOutput {
 public:
  explicit StagedOutput(size_t count) { out_.reserve(count); }

  T* stage() { return stage_; }
  static constexpr size_t capacity() { return StageCount; }

  // Appends the first `n` elements of the stage.
  void commit(size_t n) { out_.insert(out_.end(), stage_, stage_ + n); }

  std::vector<T> take() { return std::move(out_); }

 private:
  std::vector<T> out_;
  alignas(64) T stage_[StageCount];
};

}  // namespace vaskor::detail
