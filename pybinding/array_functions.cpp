#include "pybinding/array_functions.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/int64_array.hpp"
#include "pybinding/int_items.hpp"
#include "pybinding/py_buffer.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/unlocked.hpp"

namespace pybinding {

namespace {

PyObject* typeError(const std::string& msg) {
  pyLib->PyErr_SetString(pyLib->PyExc_TypeError, msg.c_str());
  return nullptr;
}

// What a refused argument was, for the messages below.
std::string whatCame(PyObject* o, const PyBuffer& buffer, bool taken) {
  if (!taken) return std::string("an object of type '") + typeName(typeOf(o)) + "' without a buffer";
  std::string what = describeFormat(buffer.format(), buffer.itemSize());
  return buffer.contiguous() ? what : "a non-contiguous buffer of " + what;
}

// The host lacks an entry the array functions need; set its error.
bool hostServesArrays(const Call& call) {
  if (PyBuffer::hostHasBuffers() && hostCanUnlock() && pyLib->PySequence_Repeat != nullptr) return true;
  typeError(std::string(call.name()) + "() is not available: this host lacks the buffer or thread entries it needs");
  return false;
}

bool isListOrTuple(PyObject* o) { return getListOrTupleAccessors(o).getSize != nullptr; }

constexpr const char* kIntBuffer =
    "a C-contiguous buffer of integers in native byte order (formats b B h H i I l L q Q)";
constexpr const char* kInt64Buffer = "a writable C-contiguous buffer of 8-byte signed integers";

}  // namespace

PyObject* encodeArray(const Call& call, const ArrayCodec& codec, PyObject* (*listBody)(const Call&)) {
  PyRef a = call.required(0);
  if (!a) return nullptr;
  if (isListOrTuple(a.get())) return listBody(call);
  if (!hostServesArrays(call)) return nullptr;
  PyBuffer buffer;
  const bool taken = buffer.take(a.get(), false);
  ItemKind kind;
  if (!taken || !buffer.contiguous() || !intItemKind(buffer.format(), buffer.itemSize(), kind))
    return typeError(std::string(call.name()) + "() expected " + kIntBuffer + ", got " +
                     whatCame(a.get(), buffer, taken));
  const size_t n = buffer.size() / buffer.itemSize();
  const bool unlock = buffer.held() && buffer.size() >= kUnlockedBytes;
  IntItems items;
  int64_t width = 0;
  try {
    runUnlocked(unlock, [&] {
      items.read(buffer.data(), n, kind);
      width = codec.widthOf(items.values());
    });
    if (items.outOfRange()) raiseConversionError("int");
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  try {
    const uint64_t size = codec.packedSize(n, width);
    PyRef tuple = PyRef::adopt(pyLib->PyTuple_New(2));
    if (!tuple) return nullptr;
    uint8_t* storage = nullptr;
    PyObject* bytes = detail::newPairBytes(size, storage);
    if (bytes == nullptr) return nullptr;
    pyLib->PyTuple_SetItem(tuple.get(), 0, bytes);
    PyObject* widthObj = nativeValueToPy(width);
    if (widthObj == nullptr) return nullptr;
    pyLib->PyTuple_SetItem(tuple.get(), 1, widthObj);
    if (size > 0) runUnlocked(unlock, [&] { codec.packInto(items.values(), width, storage); });
    return tuple.release();
  } catch (const vaskor::Exception& failure) {
    return pythonException(failure);
  }
}

PyObject* decodeArray(const Call& call, const ArrayCodec& codec) {
  PyRef bytesObj = call.required(0);
  if (!bytesObj) return nullptr;
  if (!hostServesArrays(call)) return nullptr;
  PyBuffer input;
  ByteArg listInput;
  PyRef lObj, outObj;
  int64_t l = 0;
  const bool fromList = isListOrTuple(bytesObj.get());
  try {
    if (fromList) {
      pyValueToNative(bytesObj.get(), listInput);
    } else {
      const bool taken = input.take(bytesObj.get(), false);
      if (!taken || !input.contiguous())
        return typeError(std::string(call.name()) + "() expected a C-contiguous buffer of bytes, got " +
                         whatCame(bytesObj.get(), input, taken));
    }
    lObj = call.required(1);
    if (!lObj) return nullptr;
    pyValueToNative(lObj.get(), l);
    outObj = call.optional(2);
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  PyBuffer out;
  if (outObj) {
    const bool taken = out.take(outObj.get(), true);
    if (!taken || !out.contiguous() || !isInt64Format(out.format(), out.itemSize()))
      return typeError(std::string(call.name()) + "() expected for out " + kInt64Buffer + ", got " +
                       whatCame(outObj.get(), out, taken));
    if (reinterpret_cast<uintptr_t>(out.writableData()) % alignof(int64_t) != 0)
      return typeError(std::string(call.name()) + "() expected for out " + kInt64Buffer +
                       ", got one not aligned to 8 bytes");
  }
  // l's conversion and out's export ran Python code since the input was taken.
  if (!fromList && !input.retakeIfLoose(bytesObj.get(), false))
    return typeError(std::string(call.name()) + "() expected a C-contiguous buffer of bytes, got " +
                     whatCame(bytesObj.get(), input, false));
  const std::span<const uint8_t> view =
      fromList ? listInput.view : std::span<const uint8_t>(input.data(), input.size());
  if (outObj) {
    // The codec reads its input while it writes: the two must not share bytes.
    const uint8_t* outEnd = out.data() + out.size();
    if (!view.empty() && out.size() > 0 && out.data() < view.data() + view.size() && view.data() < outEnd) {
      pyLib->PyErr_SetString(pyLib->PyExc_ValueError,
                             (std::string(call.name()) + "() cannot decode into out: it shares bytes with the input").c_str());
      return nullptr;
    }
  }
  try {
    const uint64_t count = codec.decodedCount(view, l);
    PyRef result;
    int64_t* storage = nullptr;
    size_t capacity = 0;
    if (outObj) {
      capacity = out.size() / sizeof(int64_t);
      if (count > capacity) {
        const std::string msg = std::string(call.name()) + "() needs room for " + std::to_string(count) +
                                " values, out has " + std::to_string(capacity);
        pyLib->PyErr_SetString(pyLib->PyExc_ValueError, msg.c_str());
        return nullptr;
      }
      result = PyRef::adopt(nativeValueToPy(static_cast<int64_t>(count)));
      // The buffer's storage holds whole 8-byte items, aligned where numpy
      // and array.array put them.
      storage = reinterpret_cast<int64_t*>(out.writableData());
    } else {
      result = newInt64Array(count, storage);
      capacity = count;
    }
    if (!result) return nullptr;
    // A new array is seen by no other thread, so it cannot move even when
    // Python 2 gives its storage through the old interface; a caller's
    // buffer must be held.
    const bool unlock = (fromList || input.held()) && (!outObj || out.held()) &&
                        std::max<size_t>(view.size(), count * sizeof(int64_t)) >= kUnlockedBytes;
    // The room is fixed before the codec runs: another thread changing the
    // input meanwhile (its width byte) makes the codec refuse, never overrun.
    const std::span<int64_t> into(storage, capacity);
    if (count > 0)
      runUnlocked(unlock, [&] {
        const uint64_t written = codec.decodeInto(view, l, into);
        // Fewer only when another thread changed the input's width byte: a
        // new array's storage is not left as the allocator gave it.
        if (!outObj && written < count) std::fill(into.begin() + written, into.end(), 0);
      });
    return result.release();
  } catch (const vaskor::Exception& failure) {
    return pythonException(failure);
  }
}

}  // namespace pybinding
