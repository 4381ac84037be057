#include "module/frame_functions.hpp"

#include <algorithm>
#include <cstring>
#include <string>

#include "module/buffer_args.hpp"
#include "module/encoded_pair.hpp"
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

// The Python names of the options and their values.
template <class E>
struct Named {
  const char* name;
  E value;
};
constexpr Named<frame::Layout> kLayouts[] = {{"bpe", frame::Layout::bitPacked},
                                             {"ne", frame::Layout::wholeByte}};
constexpr Named<frame::Transform> kTransforms[] = {{"for", frame::Transform::frameOfReference},
                                                   {"delta", frame::Transform::delta}};

template <class E, size_t N>
const char* nameOf(const Named<E> (&names)[N], E value) {
  for (const Named<E>& n : names)
    if (n.value == value) return n.name;
  return "?";
}

// Option parameter `i` named `param`, left at its default when not given
// (or None): a str naming one of `names`. False with the error set.
template <class E, size_t N>
bool optionArg(const Call& call, int64_t i, const char* param, const Named<E> (&names)[N], E& value) {
  PyRef o = call.optional(i);
  if (!o) return true;
  // A str; on Python 2 also the byte string that str is there.
  const bool isText = hasType(o.get(), pyLib->PyUnicode_Type) ||
                      (hostProfile.bytesAreStr && hasType(o.get(), pyLib->PyBytes_Type));
  std::string text;
  try {
    if (!isText || !pyStringToNative(o.get(), text))
      return typeError(std::string(call.name()) + "() " + param + " must be a str, not " + typeName(typeOf(o.get())));
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  std::string choices;
  for (size_t k = 0; k < N; ++k) {
    if (text == names[k].name) {
      value = names[k].value;
      return true;
    }
    choices += (k == 0 ? "'" : k + 1 < N ? ", '" : " or '") + std::string(names[k].name) + "'";
  }
  return valueError(std::string(param) + " must be " + choices + ", not '" + text + "'");
}

// Item kinds in their declared order, as the frame's element types.
static_assert(static_cast<int>(ItemKind::I8) == 0 && static_cast<int>(ItemKind::U64) == 7);
constexpr frame::ElementType kElementTypes[] = {
    frame::ElementType::int8,  frame::ElementType::uint8,  frame::ElementType::int16, frame::ElementType::uint16,
    frame::ElementType::int32, frame::ElementType::uint32, frame::ElementType::int64, frame::ElementType::uint64};

std::string dtypeName(frame::ElementType type) {
  return (frame::isSigned(type) ? "int" : "uint") + std::to_string(8 * frame::itemSize(type));
}

// A codec failure on a frame is the caller's ValueError, with its message;
// any other failure, a module exception.
PyObject* codecFailure(const vaskor::Exception& failure) {
  if (dynamic_cast<const vaskor::ValueError*>(&failure) != nullptr) return valueError(failure.msg);
  return pythonException(failure);
}

// Packs the `n` items at `values` into a new bytes object of the frame's
// exact size: the values are read for their range first.
PyObject* encodeToBytes(frame::ElementType type, const void* values, uint64_t n, frame::Options options,
                        bool unlock) {
  try {
    frame::Header planned;
    runUnlocked(unlock, [&] { planned = frame::plan(type, values, n, options); });
    uint8_t* storage = nullptr;
    PyObject* bytes = newPairBytes(planned.frameSize(), storage);
    // Seen by no other thread until returned.
    if (bytes != nullptr) runUnlocked(unlock, [&] { frame::writeInto(planned, values, storage); });
    return bytes;
  } catch (const vaskor::Exception& failure) {
    return codecFailure(failure);
  }
}

}  // namespace

PyObject* frameEncode(const Call& call) {
  PyRef a = call.required(0);
  if (!a) return nullptr;
  frame::Options options;
  if (!optionArg(call, 1, "layout", kLayouts, options.layout) ||
      !optionArg(call, 2, "transform", kTransforms, options.transform))
    return nullptr;
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
  return encodeToBytes(kElementTypes[static_cast<size_t>(kind)], buffer.data(), buffer.size() / buffer.itemSize(),
                       options, buffer.held() && buffer.size() >= kUnlockedBytes);
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
  // out's export may have run Python code since the input was taken.
  if (!retakeByteBufferIfLoose(call, frameObj.get(), input)) return nullptr;
  const std::span<const uint8_t> view(input.data(), input.size());
  if (outObj && !outApart(call, view, out)) return nullptr;
  try {
    const frame::Header header = frame::readHeader(view);
    const size_t itemSize = frame::itemSize(header.type);
    const uint64_t count = header.count;
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
    // Checks the payload also when there are no items to write.
    uint64_t none = 0;
    void* into = storage != nullptr ? storage : &none;
    runUnlocked(unlock, [&] {
      const uint64_t written = frame::decodeInto(view, into, bytes);
      // Fewer only when another thread changed the frame meanwhile: a new
      // array's storage is not left as the allocator gave it.
      if (!outObj && written < count)
        std::memset(static_cast<uint8_t*>(into) + written * itemSize, 0, bytes - written * itemSize);
    });
    return result.release();
  } catch (const vaskor::Exception& failure) {
    return codecFailure(failure);
  }
}

PyObject* frameInfo(const Call& call) {
  PyRef frameObj = call.required(0);
  if (!frameObj) return nullptr;
  if (!hostServesArrays(call)) return nullptr;
  PyBuffer input;
  if (!takeByteBuffer(call, frameObj.get(), input)) return nullptr;
  frame::Header header;
  try {
    header = frame::readHeader({input.data(), input.size()});
  } catch (const vaskor::Exception& failure) {
    return codecFailure(failure);
  }
  PyRef dict = PyRef::adopt(pyLib->PyDict_New());
  if (!dict) return nullptr;
  const std::string dtype = dtypeName(header.type);
  const auto count = static_cast<unsigned long long>(header.count);
  const struct {
    const char* key;
    PyObject* value;
  } fields[] = {
      {"version", nativeValueToPy(header.version)},
      {"layout", pyLib->PyUnicode_FromString(nameOf(kLayouts, header.layout))},
      {"transform", pyLib->PyUnicode_FromString(nameOf(kTransforms, header.transform))},
      {"dtype", pyLib->PyUnicode_FromString(dtype.c_str())},
      {"itemsize", nativeValueToPy(static_cast<int64_t>(frame::itemSize(header.type)))},
      {"count", pyLib->Py_BuildValue("K", count)},
      {"width", nativeValueToPy(header.width)},
      {"nbytes", nativeValueToPy(static_cast<int64_t>(input.size()))},
  };
  bool made = true;
  for (const auto& field : fields) {
    PyRef value = PyRef::adopt(field.value);
    made = made && value && pyLib->PyDict_SetItemString(dict.get(), field.key, value.get()) == 0;
  }
  return made ? dict.release() : nullptr;
}

}  // namespace pyvaskor
