#include "module/array_functions.hpp"

#include <algorithm>
#include <string>

#include "module/buffer_args.hpp"
#include "module/encoded_pair.hpp"
#include "module/list_functions.hpp"
#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/int_array.hpp"
#include "pybinding/int_items.hpp"
#include "pybinding/py_buffer.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/unlocked.hpp"

namespace pyvaskor {

using namespace pybinding;

namespace {

constexpr const char* kInt64Out = "a writable C-contiguous buffer of 8-byte signed integers";

}  // namespace

PyObject* encodeArray(const Call& call, const vaskor::Codec& codec) {
  PyRef a = call.required(0);
  if (!a) return nullptr;
  if (isListOrTuple(a.get())) return encoderBody(call, codec);
  if (!hostServesArrays(call)) return nullptr;
  PyBuffer buffer;
  ItemKind kind;
  if (!takeIntBuffer(call, a.get(), buffer, kind)) return nullptr;
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
    PyObject* bytes = newPairBytes(size, storage);
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

PyObject* decodeArray(const Call& call, const vaskor::Codec& codec) {
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
    } else if (!takeByteBuffer(call, bytesObj.get(), input)) {
      return nullptr;
    }
    lObj = call.required(1);
    if (!lObj) return nullptr;
    pyValueToNative(lObj.get(), l);
    outObj = call.optional(2);
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  PyBuffer out;
  if (outObj && !takeOutBuffer(call, outObj.get(), out, kInt64Out, /*int64Only=*/true)) return nullptr;
  // l's conversion and out's export ran Python code since the input was taken.
  if (!fromList && !retakeByteBufferIfLoose(call, bytesObj.get(), input)) return nullptr;
  const std::span<const uint8_t> view =
      fromList ? listInput.view : std::span<const uint8_t>(input.data(), input.size());
  if (outObj && !outApart(call, view, out)) return nullptr;
  try {
    const uint64_t count = codec.decodedCount(view, l);
    PyRef result;
    int64_t* storage = nullptr;
    size_t capacity = 0;
    if (outObj) {
      capacity = out.size() / sizeof(int64_t);
      if (!outHasRoom(call, count, capacity)) return nullptr;
      result = PyRef::adopt(nativeValueToPy(static_cast<int64_t>(count)));
      // The buffer's storage holds whole 8-byte items, aligned where numpy
      // and array.array put them.
      storage = reinterpret_cast<int64_t*>(out.writableData());
    } else {
      void* items = nullptr;
      result = newIntArray(sizeof(int64_t), true, count, items);
      storage = static_cast<int64_t*>(items);
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

}  // namespace pyvaskor
