#include "pybinding/conversion.hpp"

#include <string>

#include "pybinding/py_lib.hpp"
#include "runtime/failure.hpp"

namespace pybinding {

namespace {

// The host refused the object when it answers -1 with an error pending.
inline bool refused(long long v) { return v == -1 && pyLib->PyErr_Occurred() != nullptr; }

// The host's integer constructor: the direct one when the host has it.
using IntMaker = PyObject* (*)(long long);
PyObject* buildLongLong(long long v) { return pyLib->Py_BuildValue("L", v); }
inline IntMaker intMaker() {
  return pyLib->PyLong_FromLongLong != nullptr ? pyLib->PyLong_FromLongLong : buildLongLong;
}

// Fills `target` item by item; `T` narrows each value (bytes keep the low
// 8 bits). A null item (the sequence shrank under an item's conversion)
// counts as a refused item.
template <class T>
void itemsToNative(PyObject* o, const ListOrTupleAccessors& acc, std::vector<T>& target,
                   const char* itemType) {
  Py_ssize_t n = acc.getSize(o);
  target.assign(static_cast<size_t>(n), T{});
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = acc.getItem(o, i);
    if (item == nullptr) clearAndRaiseConversionError(itemType);
    long long v = pyLib->PyLong_AsLongLong(item);
    if (refused(v)) clearAndRaiseConversionError(itemType);
    target[static_cast<size_t>(i)] = static_cast<T>(v);
  }
}

}  // namespace

bool hasType(PyObject* o, PyTypeObject* t) {
  PyTypeObject* ot = typeOf(o);
  return ot == t || pyLib->PyType_IsSubtype(ot, t) != 0;
}

ListOrTupleAccessors getListOrTupleAccessors(PyObject* o) {
  if (hasType(o, pyLib->PyList_Type)) return {pyLib->PyList_Size, pyLib->PyList_GetItem};
  if (hasType(o, pyLib->PyTuple_Type)) return {pyLib->PyTuple_Size, pyLib->PyTuple_GetItem};
  return {};
}

void raiseConversionError(const char* toType) {
  vaskor::raise<vaskor::ValueError>(std::string("Cannot convert python object to ") + toType);
}

void clearAndRaiseConversionError(const char* toType) {
  pyLib->PyErr_Clear();
  raiseConversionError(toType);
}

void pyValueToNative(PyObject* o, int64_t& target) {
  long long v = pyLib->PyLong_AsLongLong(o);
  if (refused(v)) clearAndRaiseConversionError("int");
  target = v;
}

void pyValueToNative(PyObject* o, std::vector<int64_t>& target) {
  ListOrTupleAccessors acc = getListOrTupleAccessors(o);
  if (acc.getSize == nullptr) raiseConversionError("seq[int]");
  itemsToNative(o, acc, target, "int");
}

void pyValueToNative(PyObject* o, std::vector<uint8_t>& target) {
  if (hasType(o, pyLib->PyBytes_Type)) {
    char* buf = nullptr;
    Py_ssize_t len = 0;
    // The host's own error stays pending; the caller replaces it.
    if (pyLib->PyBytes_AsStringAndSize(o, &buf, &len) == -1) raiseConversionError("seq[byte]");
    target.assign(buf, buf + len);
    return;
  }
  ListOrTupleAccessors acc = getListOrTupleAccessors(o);
  if (acc.getSize == nullptr) raiseConversionError("seq[byte]");
  itemsToNative(o, acc, target, "byte");
}

PyObject* nativeValueToPy(int64_t v) { return intMaker()(v); }

PyObject* nativeValueToPy(std::span<const uint8_t> bytes) {
  return pyLib->PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<Py_ssize_t>(bytes.size()));
}

PyObject* nativeValueToPy(std::span<const int64_t> values) {
  auto n = static_cast<Py_ssize_t>(values.size());
  PyObject* list = pyLib->PyList_New(n);
  if (list == nullptr) return nullptr;
  IntMaker make = intMaker();
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = make(values[static_cast<size_t>(i)]);
    // The host frees the unfilled slots along with the list.
    if (item == nullptr) {
      decRef(list);
      return nullptr;
    }
    pyLib->PyList_SetItem(list, i, item);
  }
  return list;
}

PyObject* nativeValueToPy(const EncodedPair& pair) {
  PyObject* tuple = pyLib->PyTuple_New(2);
  if (tuple == nullptr) return nullptr;
  PyObject* bytes = nativeValueToPy(std::span<const uint8_t>(pair.bytes));
  PyObject* width = bytes != nullptr ? nativeValueToPy(pair.width) : nullptr;
  if (width == nullptr) {
    if (bytes != nullptr) decRef(bytes);
    decRef(tuple);
    return nullptr;
  }
  pyLib->PyTuple_SetItem(tuple, 0, bytes);
  pyLib->PyTuple_SetItem(tuple, 1, width);
  return tuple;
}

void conversionToStringError() {
  pyLib->PyErr_Clear();
  vaskor::raise<vaskor::ValueError>("Can't convert python obj to string");
}

bool pyStringToNative(PyObject* o, std::string& target) {
  char* buf = nullptr;
  Py_ssize_t len = 0;
  if (hasType(o, pyLib->PyUnicode_Type)) {
    PyObject* utf8 = pyLib->PyUnicode_AsUTF8String(o);
    if (utf8 == nullptr) conversionToStringError();
    if (pyLib->PyBytes_AsStringAndSize(utf8, &buf, &len) != 0) {
      decRef(utf8);
      conversionToStringError();
    }
    target.assign(buf, static_cast<size_t>(len));
    decRef(utf8);
    return true;
  }
  if (hasType(o, pyLib->PyBytes_Type)) {
    if (pyLib->PyBytes_AsStringAndSize(o, &buf, &len) != 0) conversionToStringError();
    target.assign(buf, static_cast<size_t>(len));
    return true;
  }
  return false;
}

}  // namespace pybinding
