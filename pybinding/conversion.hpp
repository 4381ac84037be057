// Python objects to the codecs' native values and back. Every call into
// the host goes through the API table; a failed conversion raises the
// native ValueError naming the wanted type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "pybinding/host_profile.hpp"
#include "pybinding/py_lib.hpp"

namespace pybinding {

// Size and item access of a list or tuple (or a subclass, read through the
// base type); both null for anything else.
struct ListOrTupleAccessors {
  Py_ssize_t (*getSize)(PyObject*) = nullptr;
  PyObject* (*getItem)(PyObject*, Py_ssize_t) = nullptr;
};

ListOrTupleAccessors getListOrTupleAccessors(PyObject* o);

// The object's type is `t` or derives from it; the host is asked only when
// the type is not `t` itself.
bool hasType(PyObject* o, PyTypeObject* t);

// "Cannot convert python object to " + toType.
[[noreturn]] void raiseConversionError(const char* toType);
// Same, after clearing the host's pending error.
[[noreturn]] void clearAndRaiseConversionError(const char* toType);

void pyValueToNative(PyObject* o, int64_t& target);
// The integer sequence of an encoder's argument: a short one lives inline
// and a long one in storage of exactly its size, not cleared first (every
// item is written before anything reads it; a failed conversion's partial
// sequence is never read), so a call allocates at most once.
class IntArg {
 public:
  IntArg() = default;
  IntArg(const IntArg&) = delete;
  IntArg& operator=(const IntArg&) = delete;

  int64_t* prepare(size_t n);
  std::span<const int64_t> values() const { return {data_, size_}; }

 private:
  static constexpr size_t kInline = 32;
  int64_t inline_[kInline];
  std::unique_ptr<int64_t[]> heap_;
  int64_t* data_ = inline_;
  size_t size_ = 0;
};

// The same conversion into an IntArg, also giving the larger of 0 and the
// greatest value, which both encoders' width rule starts from, worked out
// while the items go by.
void pyValueToNative(PyObject* o, IntArg& target, int64_t& largest);

// A byte-sequence argument as the decoders read it: a bytes object in place
// (it is immutable, and the caller holds it for as long as `view` is read), a
// list or tuple converted into `owned`. Same checks and errors as above.
struct ByteArg {
  std::vector<uint8_t> owned;
  std::span<const uint8_t> view;
};
void pyValueToNative(PyObject* o, ByteArg& target);

// A new int, or null with the host's error set.
PyObject* nativeValueToPy(int64_t v);

// The host's integer constructor, for a caller making many ints: each
// call of the result is what nativeValueToPy does.
using IntMaker = PyObject* (*)(long long);
IntMaker intMaker();

// The item slots of a list just made by PyList_New (exact, every slot
// empty), where an item may be stored as the host's PyList_SetItem would
// store it; null where the host's list layout was not verified (store
// through PyList_SetItem).
inline PyObject** newListSlots(PyObject* list) { return hostProfile.listItems != 0 ? listItems(list) : nullptr; }
// The same for a tuple just made by PyTuple_New (PyTuple_SetItem).
inline PyObject** newTupleSlots(PyObject* tuple) {
  return hostProfile.tupleItems != 0 ? tupleItems(tuple) : nullptr;
}

// True with `target` filled for a text or byte-string object, false for
// anything else; raises ValueError when the text cannot be read.
bool pyStringToNative(PyObject* o, std::string& target);
[[noreturn]] void conversionToStringError();

}  // namespace pybinding
