#include "pybinding/conversion.hpp"

#include <cstddef>
#include <string>

#include "pybinding/errors.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/py_ref.hpp"
#include "vaskor/failure.hpp"

namespace pybinding {

namespace {

// The host refused the object when it answers -1 with an error pending.
inline bool refused(long long v) { return v == -1 && pyLib->PyErr_Occurred() != nullptr; }

// Python code run by the conversion (an __index__) may have raised what is
// no conversion failure: an exception that is no Exception (KeyboardInterrupt,
// SystemExit, GeneratorExit) or a MemoryError. That one stays pending and
// ends the call; anything else is the conversion error for `toType`.
[[noreturn]] void raiseRefusal(const char* toType) {
  PyObject* pending = pyLib->PyErr_Occurred();
  auto matches = pyLib->PyErr_GivenExceptionMatches;
  if (matches(pending, pyLib->PyExc_MemoryError) ||
      (pyLib->PyExc_Exception != nullptr && !matches(pending, pyLib->PyExc_Exception)))
    vaskor::raise<InterpreterExceptionPending>(std::string("Interpreter exception converting to ") +
                                               toType);
  clearAndRaiseConversionError(toType);
}

PyObject* buildLongLong(long long v) { return pyLib->Py_BuildValue("L", v); }

// How a sequence's items are read: from the host's own storage for an
// exact list or tuple (not a subclass, which goes through its base type's
// accessors) whose item layout was verified when the module was loaded,
// else through the host's API.
enum class ItemAccess { ThroughApi, ListSlots, TupleSlots };
ItemAccess itemAccessOf(PyObject* o) {
  PyTypeObject* t = typeOf(o);
  if (t == pyLib->PyList_Type) return hostProfile.listItems != 0 ? ItemAccess::ListSlots : ItemAccess::ThroughApi;
  if (t == pyLib->PyTuple_Type) return hostProfile.tupleItems != 0 ? ItemAccess::TupleSlots : ItemAccess::ThroughApi;
  return ItemAccess::ThroughApi;
}

// PyLong_AsLongLong of an object held meanwhile. The host keeps its pending
// error while the hold's release frees the object.
[[gnu::noinline]] long long heldAsLongLong(PyObject* o) {
  PyRef held = PyRef::hold(o);
  return pyLib->PyLong_AsLongLong(o);
}

// Converts the n items that `item(i)` fetches (null: the sequence shrank
// under an item's conversion, a refused item). Keeps the larger of
// `largest` and each value when `Track`. A list's item is borrowed from a
// list that the item's own conversion may change, so with `Hold` each item
// is held while it is converted; a tuple's items stay.
template <bool Track, bool Hold, class T, class Item>
[[gnu::always_inline]] inline void convertItems(Py_ssize_t n, T* out, const char* itemType,
                                                int64_t& largest, Item item) {
  auto asLongLong = pyLib->PyLong_AsLongLong;
  PyTypeObject* const plainInts[] = {pyLib->PyLong_Type, pyLib->PyInt_Type};
  const size_t typeAt = hostProfile.typeOffset;  // kept at hand across the opaque calls
  const ExactInts exact(hostProfile, plainInts[0], plainInts[1]);
  // Exact ints first, read in place by a loop that makes no conversion call,
  // so what it needs stays in registers (short calls); the loop below takes
  // over at the first item this one cannot read in place.
  Py_ssize_t i = 0;
  int64_t top = largest;
  for (; i < n; ++i) {
    PyObject* o = item(i);
    long long v;
    if (o == nullptr || !exact.read(o, hostField<PyTypeObject*>(o, typeAt), v)) break;
    if constexpr (Track) top = v > top ? v : top;
    out[i] = static_cast<T>(v);
  }
  largest = top;
  for (; i < n; ++i) {
    PyObject* o = item(i);
    if (o == nullptr) clearAndRaiseConversionError(itemType);
    PyTypeObject* const type = hostField<PyTypeObject*>(o, typeAt);
    long long v;
    if (!exact.read(o, type, v)) [[unlikely]] {
      // An exact int runs no code, so only other items need the hold.
      const bool runsCode = type != plainInts[0] && type != plainInts[1];
      v = Hold && runsCode ? heldAsLongLong(o) : asLongLong(o);
      if (refused(v)) raiseRefusal(itemType);
    }
    if constexpr (Track) largest = v > largest ? v : largest;
    out[i] = static_cast<T>(v);
  }
}

// Room in a vector, zero-filled as the conversions have always left it.
template <class T>
auto vectorOf(std::vector<T>& target) {
  return [&target](size_t n) {
    target.assign(n, T{});
    return target.data();
  };
}

// Fills `target` item by item; `T` narrows each value (bytes keep the low
// 8 bits). Exact lists and tuples are read from their own storage: a list's
// size and item array are read again for every item, exactly what the
// host's PyList_GetItem does (an item's conversion may run Python code that
// changes the list); a tuple cannot change. Anything else that is a list or
// tuple goes through the host's API. `storage(n)` gives room for the n
// items. False, with nothing done, for an object that is neither.
template <bool Track, class T, class Storage>
bool itemsToNative(PyObject* o, Storage storage, const char* itemType, int64_t& largest) {
  switch (itemAccessOf(o)) {
    case ItemAccess::ListSlots: {
      // The host's size call reads what varSize reads where the layout is verified.
      const Py_ssize_t n = varSize(o);
      // The conversion call in between is opaque, so the size and the item
      // array are loaded anew; where they lie is fixed, and kept at hand.
      const size_t sizeAt = hostProfile.headSize, itemsAt = hostProfile.listItems;
      convertItems<Track, true>(n, storage(static_cast<size_t>(n)), itemType, largest,
                                [o, sizeAt, itemsAt](Py_ssize_t i) -> PyObject* {
                                  return i < hostField<Py_ssize_t>(o, sizeAt) ? hostField<PyObject**>(o, itemsAt)[i]
                                                                              : nullptr;
                                });
      return true;
    }
    case ItemAccess::TupleSlots: {
      const Py_ssize_t n = varSize(o);
      PyObject* const* items = tupleItems(o);
      convertItems<Track, false>(n, storage(static_cast<size_t>(n)), itemType, largest,
                                 [items](Py_ssize_t i) { return items[i]; });
      return true;
    }
    case ItemAccess::ThroughApi: {
      const ListOrTupleAccessors acc = getListOrTupleAccessors(o);
      if (acc.getSize == nullptr) return false;
      const Py_ssize_t n = acc.getSize(o);
      convertItems<Track, true>(n, storage(static_cast<size_t>(n)), itemType, largest,
                                [&](Py_ssize_t i) { return acc.getItem(o, i); });
      return true;
    }
  }
  return false;
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
  // An exact int is read in place, as the items of a sequence are.
  const ExactInts exact(hostProfile, pyLib->PyLong_Type, pyLib->PyInt_Type);
  long long v;
  if (!exact.read(o, typeOf(o), v)) {
    v = pyLib->PyLong_AsLongLong(o);
    if (refused(v)) raiseRefusal("int");
  }
  target = v;
}

void pyValueToNative(PyObject* o, IntArg& target, int64_t& largest) {
  largest = 0;
  if (!itemsToNative<true, int64_t>(o, [&](size_t n) { return target.prepare(n); }, "int", largest))
    raiseConversionError("seq[int]");
}

int64_t* IntArg::prepare(size_t n) {
  if (n > kInline) {
    heap_.reset(new int64_t[n]);
    data_ = heap_.get();
  }
  size_ = n;
  return data_;
}

void pyValueToNative(PyObject* o, ByteArg& target) {
  if (hasType(o, pyLib->PyBytes_Type)) {
    char* buf = nullptr;
    Py_ssize_t len = 0;
    // The host's own error stays pending; the caller replaces it.
    if (pyLib->PyBytes_AsStringAndSize(o, &buf, &len) == -1) raiseConversionError("seq[byte]");
    target.view = {reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(len)};
    return;
  }
  int64_t unused = 0;
  if (!itemsToNative<false, uint8_t>(o, vectorOf(target.owned), "byte", unused)) raiseConversionError("seq[byte]");
  target.view = target.owned;
}

IntMaker intMaker() { return pyLib->PyLong_FromLongLong != nullptr ? pyLib->PyLong_FromLongLong : buildLongLong; }

PyObject* nativeValueToPy(int64_t v) { return intMaker()(v); }

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
