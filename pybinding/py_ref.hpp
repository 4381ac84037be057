// A strong reference to a host object, released when it goes out of scope.
// Python code run in the middle of a call (an item's __index__, a key's
// __eq__) can drop every other reference to an object the call still
// reads; holding one keeps it alive on every way out of the call.
#pragma once

#include <utility>

#include "pybinding/py_lib.hpp"

namespace pybinding {

class PyRef {
 public:
  PyRef() = default;
  // Takes a reference of its own to `o` (borrowed; may be null).
  static PyRef hold(PyObject* o) {
    if (o != nullptr) incRef(o);
    return PyRef(o);
  }

  // Takes over the reference `o` carries (a new reference; may be null).
  static PyRef adopt(PyObject* o) { return PyRef(o); }

  PyRef(PyRef&& other) noexcept : o_(std::exchange(other.o_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept {
    PyRef gone(std::move(*this));
    o_ = std::exchange(other.o_, nullptr);
    return *this;
  }
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() {
    if (o_ != nullptr) decRef(o_);
  }

  PyObject* get() const { return o_; }
  explicit operator bool() const { return o_ != nullptr; }
  // Hands the reference to the caller.
  PyObject* release() { return std::exchange(o_, nullptr); }

 private:
  explicit PyRef(PyObject* o) : o_(o) {}
  PyObject* o_ = nullptr;
};

}  // namespace pybinding
