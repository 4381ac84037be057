// A buffer taken from an object that exports one, released when it goes out
// of scope, as PyRef releases a reference: on every way out of a call the
// exporter gets its buffer back (a bytearray can be resized right after).
#pragma once

#include <cstddef>
#include <cstdint>

#include "pybinding/host_profile.hpp"

namespace pybinding {

class PyBuffer {
 public:
  PyBuffer() = default;
  PyBuffer(const PyBuffer&) = delete;
  PyBuffer& operator=(const PyBuffer&) = delete;
  ~PyBuffer() { release(); }

  // Whether this host can take buffers at all (the interface's entries are
  // optional in the API table).
  static bool hostHasBuffers();

  // Takes the buffer of `o` (read-only, or writable when asked), with its
  // format, shape and strides. False when `o` exports none or refuses the
  // request; the host's error is cleared. On Python 2 an object with only
  // the old interface (array.array, mmap) is taken through it: its bytes,
  // with the format its typecode names ("B" without one).
  bool take(PyObject* o, bool writable);
  // A buffer its exporter does not hold may have moved or shrunk while
  // Python code ran (an argument's __index__); taken again, it is where the
  // object keeps it now. False as take() is.
  bool retakeIfLoose(PyObject* o, bool writable);
  void release();

  const uint8_t* data() const { return static_cast<const uint8_t*>(data_); }
  uint8_t* writableData() const { return static_cast<uint8_t*>(data_); }
  size_t size() const { return size_; }
  size_t itemSize() const { return itemSize_; }
  const char* format() const { return format_; }
  bool contiguous() const { return contiguous_; }
  // A buffer of the old interface is not held by its exporter, which may
  // move it whenever Python code runs; nor is one on a host whose exporters
  // stay resizable while it is taken (bytes apart, which never change).
  // Only a held one may be used with the interpreter lock released.
  bool held() const { return held_; }

 private:
  bool takeOld(PyObject* o, bool writable);

  alignas(8) unsigned char view_[kBufferSizeMax];
  bool taken_ = false;
  bool held_ = false;
  bool contiguous_ = false;
  void* data_ = nullptr;
  size_t size_ = 0;
  size_t itemSize_ = 1;
  const char* format_ = "B";
  char oldFormat_[2] = {'B', 0};
};

}  // namespace pybinding
