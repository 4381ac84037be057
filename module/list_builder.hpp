// The list of ints a list decoder returns, built while the decoder hands
// the values over in pieces, so that no native copy of them is kept.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pybinding/py_lib.hpp"
#include "vaskor/value_sink.hpp"

namespace pyvaskor {

using pybinding::PyObject;
using pybinding::Py_ssize_t;

// release() gives the new list, or null with the host's error set when the
// host could not make an object (the decode stops there).
class ListBuilder final : public vaskor::ValueSink {
 public:
  ListBuilder() = default;
  ListBuilder(const ListBuilder&) = delete;
  ListBuilder& operator=(const ListBuilder&) = delete;
  ~ListBuilder();

  bool start(uint64_t count) override;
  bool take(const int64_t* values, size_t n) override;
  PyObject* release();

 private:
  PyObject* list_ = nullptr;
  PyObject** slots_ = nullptr;  // the list's own slots, where they may be written
  Py_ssize_t filled_ = 0;
};

}  // namespace pyvaskor
