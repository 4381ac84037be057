#include "module/frame_functions.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "module/buffer_args.hpp"
#include "module/encoded_pair.hpp"
#include "module/frame_errors.hpp"
#include "module/frame_options.hpp"
#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/int_array.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/unlocked.hpp"
#include "vaskor/frame.hpp"

namespace pyvaskor {

using namespace pybinding;

namespace {

namespace frame = vaskor::frame;

// Item kinds in their declared order, as the frame's element types: the
// kind's item size and signedness name it.
frame::ElementType elementTypeOf(ItemKind kind) {
  const auto k = static_cast<unsigned>(kind);
  return static_cast<frame::ElementType>((1u << (k / 2)) | (k % 2 == 0 ? 0x00 : 0x10));
}
static_assert(static_cast<int>(ItemKind::I8) == 0 && static_cast<int>(ItemKind::U8) == 1 &&
              static_cast<int>(ItemKind::U64) == 7);

// A layout of version 1 is planned and packed straight into a bytes object
// of its exact size; a blocked frame learns its size only as it is written,
// into storage of the most it can take, and is copied out.
PyObject* encodeToBytes(frame::ElementType type, const void* values, uint64_t n, frame::Options options,
                        bool unlock) {
  try {
    if (options.layout != frame::Layout::blocked) {
      frame::Header planned;
      runUnlocked(unlock, [&] { planned = frame::plan(type, values, n, options); });
      uint8_t* storage = nullptr;
      PyObject* bytes = newPairBytes(planned.frameSize(), storage);
      // Seen by no other thread until returned.
      if (bytes != nullptr) runUnlocked(unlock, [&] { frame::writeInto(planned, values, storage); });
      return bytes;
    }
    const uint64_t most = frame::maxFrameSize(type, n, options.layout);
    std::unique_ptr<uint8_t[]> scratch(new (std::nothrow) uint8_t[most]);
    if (!scratch) {
      pyLib->PyErr_SetString(pyLib->PyExc_MemoryError, "no memory for a frame's scratch storage");
      return nullptr;
    }
    uint64_t size = 0;
    runUnlocked(unlock, [&] { size = frame::encodeInto(type, values, n, options, {scratch.get(), most}); });
    uint8_t* storage = nullptr;
    PyObject* bytes = newPairBytes(size, storage);
    if (bytes != nullptr) std::memcpy(storage, scratch.get(), size);
    return bytes;
  } catch (const vaskor::Exception& failure) {
    return frameFailure(failure);
  }
}

}  // namespace

PyObject* frameEncode(const Call& call) {
  PyRef a = call.required(0);
  if (!a) return nullptr;
  frame::Options options;
  if (!frameOptions(call, 1, 2, options)) return nullptr;
  if (!hostServesArrays(call)) return nullptr;
  if (isListOrTuple(a.get())) {
    IntArg values;
    int64_t largest = 0;
    try {
      pyValueToNative(a.get(), values, largest);
    } catch (const vaskor::CatchableError& failure) {
      return pythonTypeError(failure);
    }
    const size_t n = values.values().size();
    return encodeToBytes(frame::ElementType::int64, values.values().data(), n, options,
                         n * sizeof(int64_t) >= kUnlockedBytes);
  }
  // Taken last: no Python code runs from here on.
  PyBuffer buffer;
  ItemKind kind;
  if (!takeIntBuffer(call, a.get(), buffer, kind)) return nullptr;
  // The codec reads items at any alignment.
  return encodeToBytes(elementTypeOf(kind), buffer.data(), buffer.size() / buffer.itemSize(), options,
                       buffer.held() && buffer.size() >= kUnlockedBytes);
}

PyObject* frameDecode(const Call& call) {
  PyRef frameObj = call.required(0);
  if (!frameObj) return nullptr;
  PyRef outObj = call.optional(1);
  if (!hostServesArrays(call)) return nullptr;
  PyBuffer input;
  if (!takeByteBuffer(call, frameObj.get(), input)) return nullptr;
  PyBuffer out;
  constexpr const char* kOut = "a writable C-contiguous buffer of integers of the frame's item size";
  if (outObj && !takeOutBuffer(call, outObj.get(), out, kOut)) return nullptr;
  frame::Header header;
  try {
    header = frame::readHeader({input.data(), input.size()});
  } catch (const vaskor::Exception& failure) {
    return frameFailure(failure);
  }
  uint64_t start = 0, stop = 0;
  // The bounds' conversion may run Python code, as out's export may have.
  if (!frameRange(call, 2, 3, header.count, start, stop)) return nullptr;
  if (!retakeByteBufferIfLoose(call, frameObj.get(), input)) return nullptr;
  const std::span<const uint8_t> view(input.data(), input.size());
  if (outObj && !outApart(call, view, out)) return nullptr;
  try {
    const size_t itemSize = frame::itemSize(header.type);
    const uint64_t count = stop - start;
    PyRef result;
    void* storage = nullptr;
    if (outObj) {
      if (out.itemSize() != itemSize)
        return outRefused(call, std::string(kOut) + " (" + std::to_string(itemSize) + " bytes: " +
                                    dtypeName(header.type) + ")", out);
      if (!outHasRoom(call, count, out.size() / itemSize)) return nullptr;
      result = PyRef::adopt(nativeValueToPy(static_cast<int64_t>(count)));
      storage = out.writableData();
    } else {
      result = newIntArray(itemSize, frame::isSigned(header.type), count, storage);
    }
    if (!result) return nullptr;
    // As the array decoders: a new array cannot move, a caller's buffer must be held.
    const uint64_t bytes = count * itemSize;
    const bool unlock = input.held() && (!outObj || out.held()) &&
                        std::max<uint64_t>(view.size(), bytes) >= kUnlockedBytes;
    // Checks the frame also when there are no items to write.
    uint64_t none = 0;
    void* into = storage != nullptr ? storage : &none;
    runUnlocked(unlock, [&] {
      if (start == 0 && stop == header.count) frame::decodeInto(view, into, bytes);
      else frame::decodeRangeInto(view, start, stop, into, bytes);
    });
    return result.release();
  } catch (const vaskor::Exception& failure) {
    return frameFailure(failure);
  }
}

namespace {

// {name: blocks} for every scheme the table names.
PyObject* schemeCounts(const frame::BlockSummary& s) {
  PyRef dict = PyRef::adopt(pyLib->PyDict_New());
  if (!dict) return nullptr;
  for (size_t k = 0; k <= frame::kSchemeMax; ++k) {
    const char* name = frame::nameOf(static_cast<frame::Scheme>(k));
    if (name == nullptr) continue;
    PyRef count = PyRef::adopt(pyLib->Py_BuildValue("K", static_cast<unsigned long long>(s.schemes[k])));
    if (!count || pyLib->PyDict_SetItemString(dict.get(), name, count.get()) != 0) return nullptr;
  }
  return dict.release();
}

}  // namespace

PyObject* frameInfo(const Call& call) {
  PyRef frameObj = call.required(0);
  if (!frameObj) return nullptr;
  if (!hostServesArrays(call)) return nullptr;
  PyBuffer input;
  if (!takeByteBuffer(call, frameObj.get(), input)) return nullptr;
  frame::Header header;
  frame::BlockSummary blocks;
  try {
    header = frame::readHeader({input.data(), input.size()});
    blocks = frame::readBlocks({input.data(), input.size()});
  } catch (const vaskor::Exception& failure) {
    return frameFailure(failure);
  }
  PyRef dict = PyRef::adopt(pyLib->PyDict_New());
  if (!dict) return nullptr;
  const std::string dtype = dtypeName(header.type);
  auto unsignedInt = [](uint64_t v) { return pyLib->Py_BuildValue("K", static_cast<unsigned long long>(v)); };
  const struct {
    const char* key;
    PyObject* value;
  } fields[] = {
      {"version", nativeValueToPy(header.version)},
      {"layout", pyLib->PyUnicode_FromString(frame::nameOf(header.layout))},
      {"transform", pyLib->PyUnicode_FromString(frame::nameOf(header.transform))},
      {"dtype", pyLib->PyUnicode_FromString(dtype.c_str())},
      {"itemsize", nativeValueToPy(static_cast<int64_t>(frame::itemSize(header.type)))},
      {"count", unsignedInt(header.count)},
      {"width", nativeValueToPy(header.width)},
      {"nbytes", nativeValueToPy(static_cast<int64_t>(input.size()))},
      {"blocks", unsignedInt(blocks.blocks)},
      {"segments", unsignedInt(blocks.segments)},
      {"schemes", schemeCounts(blocks)},
  };
  bool made = true;
  for (const auto& field : fields) {
    PyRef value = PyRef::adopt(field.value);
    made = made && value && pyLib->PyDict_SetItemString(dict.get(), field.key, value.get()) == 0;
  }
  return made ? dict.release() : nullptr;
}

}  // namespace pyvaskor
