// Python objects to the codecs' native values and back. Every call into
// the host goes through the API table; a failed conversion raises the
// native ValueError naming the wanted type.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pybinding/host_abi.hpp"

namespace pybinding {

// The two results of an encode.
struct EncodedPair {
  std::vector<uint8_t> bytes;
  int64_t width = 0;
};

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
void pyValueToNative(PyObject* o, std::vector<int64_t>& target);
// The same, also giving the larger of 0 and the greatest value, which both
// encoders' width rule starts from, worked out while the items go by.
void pyValueToNative(PyObject* o, std::vector<int64_t>& target, int64_t& largest);
void pyValueToNative(PyObject* o, std::vector<uint8_t>& target);

// A byte-sequence argument as the decoders read it: a bytes object in place
// (it is immutable and the argument tuple holds it for the whole call), a
// list or tuple converted into `owned`. Same checks and errors as above.
struct ByteArg {
  std::vector<uint8_t> owned;
  std::span<const uint8_t> view;
};
void pyValueToNative(PyObject* o, ByteArg& target);

// New references, or null with the host's error set when the host could not
// make an object (nothing half-built is left behind).
PyObject* nativeValueToPy(int64_t v);
PyObject* nativeValueToPy(std::span<const uint8_t> bytes);
PyObject* nativeValueToPy(std::span<const int64_t> values);
PyObject* nativeValueToPy(const EncodedPair& pair);

// True with `target` filled for a text or byte-string object, false for
// anything else; raises ValueError when the text cannot be read.
bool pyStringToNative(PyObject* o, std::string& target);
[[noreturn]] void conversionToStringError();

}  // namespace pybinding
