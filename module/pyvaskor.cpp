// The pyvaskor module: its functions, its start-up, run by the dynamic
// loader, and the two init entries the host calls on import.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "module/array_functions.hpp"
#include "module/frame_functions.hpp"
#include "pybinding/function_table.hpp"
#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/module_def.hpp"
#include "pybinding/process_hooks.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/py_ref.hpp"
#include "vaskor/failure.hpp"
#include "vaskor/bpe.hpp"
#include "vaskor/ne.hpp"

using namespace pybinding;
using namespace pyvaskor;

#define PYVASKOR_EXPORT extern "C" __attribute__((visibility("default")))

PYVASKOR_EXPORT PyObject* PyInit_pyvaskor();
PYVASKOR_EXPORT void initpyvaskor();

namespace {

// Allocated at start-up and never freed: the host keeps pointing into its
// method array until the process ends.
PyModuleDesc* moduleDesc = nullptr;

// The native procedures of the list functions. Each does what its
// codec's encode or decode does, through the parts the codec offers for it,
// so that the result goes straight into Python objects: an encoder packs
// into the bytes object of its result under the width that follows the
// largest value (which the conversion of "a" has worked out on the way), a
// decoder hands each value to the list being built as it is unpacked.

struct Encoder {
  int64_t (*widthOf)(int64_t);
  uint64_t (*packedSize)(uint64_t, int64_t);
  void (*packInto)(std::span<const int64_t>, int64_t, uint8_t*);
};
constexpr Encoder bpeEncode{vaskor::bpe::widthOf, vaskor::bpe::packedSize, vaskor::bpe::packInto};
constexpr Encoder neEncode{vaskor::ne::widthOf, vaskor::ne::packedSize, vaskor::ne::packInto};

using Decoder = bool (*)(std::span<const uint8_t>, int64_t, vaskor::ValueSink&);
constexpr Decoder bpeDecode = vaskor::bpe::decodeInto;
constexpr Decoder neDecode = vaskor::ne::decodeInto;

// The list functions' bodies. After the argument check (done by the entry
// procedure from the function's entry), phase 1 converts the arguments (a
// recoverable failure is the caller's TypeError; a Defect finds no
// handler), phase 2 runs the codec and converts its result (every failure
// becomes a module exception). Every argument is held from its fetch to
// the end of the call: Python code that a conversion runs may drop the
// caller's references to it, and a decoder reads a bytes argument in
// place. Such code may also take a keyword out before its fetch, which
// fails the call as a missing argument.

template <const Encoder& codec>
PyObject* encoderBody(const Call& call) {
  PyRef aObj = call.required(0);
  if (!aObj) return nullptr;
  IntArg a;
  int64_t largest = 0;
  try {
    pyValueToNative(aObj.get(), a, largest);
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  try {
    const int64_t width = codec.widthOf(largest);
    const uint64_t size = codec.packedSize(a.values().size(), width);
    return newEncodedPair(size, width, [&](uint8_t* out) { codec.packInto(a.values(), width, out); });
  } catch (const vaskor::Exception& failure) {
    return pythonException(failure);
  }
}

template <Decoder native>
PyObject* decoderBody(const Call& call) {
  PyRef bytesObj = call.required(0);
  if (!bytesObj) return nullptr;
  PyRef lObj;
  ByteArg bytes;
  int64_t l = 0;
  try {
    pyValueToNative(bytesObj.get(), bytes);
    lObj = call.required(1);
    if (!lObj) return nullptr;
    pyValueToNative(lObj.get(), l);
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  try {
    ListBuilder list;
    // Stopped early only when the host could not make an object; its error is set.
    if (!native(bytes.view, l, list)) return nullptr;
    return list.release();
  } catch (const vaskor::Exception& failure) {
    return pythonException(failure);
  }
}

constexpr ArrayCodec bpeArrays{vaskor::bpe::widthOf, vaskor::bpe::packedSize, vaskor::bpe::packInto,
                               vaskor::bpe::decodedCount, vaskor::bpe::decodeInto};
constexpr ArrayCodec neArrays{vaskor::ne::widthOf, vaskor::ne::packedSize, vaskor::ne::packInto,
                              vaskor::ne::decodedCount, vaskor::ne::decodeInto};

template <const ArrayCodec& codec, PyObject* (*listBody)(const Call&)>
PyObject* encodeArrayBody(const Call& call) {
  return encodeArray(call, codec, listBody);
}
template <const ArrayCodec& codec>
PyObject* decodeArrayBody(const Call& call) {
  return decodeArray(call, codec);
}

constexpr const char* kEncoderParams[] = {"a"};
constexpr const char* kDecoderParams[] = {"bytes", "l"};
constexpr const char* kArrayDecoderParams[] = {"bytes", "l", "out"};
constexpr const char* kFrameEncoderParams[] = {"a", "layout", "transform"};
constexpr const char* kFrameDecoderParams[] = {"frame", "out"};
constexpr const char* kFrameParams[] = {"frame"};

// Docs begin with the signature the host shows (help(), inspect.signature).
#define PYVASKOR_SIGNED(signature, text) signature "\n--\n\n" text
constexpr const char* kBpeEncodeArrayDoc = PYVASKOR_SIGNED(
    "bpeEncodeArray(a)", "The bit-packed bytes of the integer items of buffer a (or of a list or tuple of\n"
                         "ints), and their width in bits.");
constexpr const char* kNeEncodeArrayDoc = PYVASKOR_SIGNED(
    "neEncodeArray(a)", "The whole-byte (big-endian) bytes of the integer items of buffer a (or of a list\n"
                        "or tuple of ints), and their width in bytes.");
constexpr const char* kBpeDecodeArrayDoc = PYVASKOR_SIGNED(
    "bpeDecodeArray(bytes, l, out=None)", "The values of bit-packed bytes at width l bits as a new array.array of\n"
                                          "8-byte signed integers, or written into out, giving their count.");
constexpr const char* kNeDecodeArrayDoc = PYVASKOR_SIGNED(
    "neDecodeArray(bytes, l, out=None)", "The values of whole-byte bytes at width l bytes as a new array.array of\n"
                                         "8-byte signed integers, or written into out, giving their count.");
constexpr const char* kFrameEncodeDoc = PYVASKOR_SIGNED(
    "frameEncode(a, layout='bpe', transform='for')",
    "A self-describing frame of the integer items of buffer a (a list or tuple: int64),\n"
    "of their own element type; layout 'bpe' or 'ne', transform 'for' or 'delta'.");
constexpr const char* kFrameDecodeDoc = PYVASKOR_SIGNED(
    "frameDecode(frame, out=None)", "The values of a frame as a new array.array of its element type, or written\n"
                                    "into out (integers of the frame's item size), giving their count.");
constexpr const char* kFrameInfoDoc = PYVASKOR_SIGNED(
    "frameInfo(frame)", "The header of a frame as a dict (version, layout, transform, dtype, itemsize,\n"
                        "count, width, nbytes), without decoding it.");
#undef PYVASKOR_SIGNED

// The module's functions in the order of its method list: name,
// parameters, how many of them are required, body, doc (null: none).
#define PYVASKOR_FUNCTIONS(F)                                                                                \
  F(bpeEncode, kEncoderParams, 1, encoderBody<bpeEncode>, nullptr)                                           \
  F(neEncode, kEncoderParams, 1, encoderBody<neEncode>, nullptr)                                             \
  F(bpeDecode, kDecoderParams, 2, decoderBody<bpeDecode>, nullptr)                                           \
  F(neDecode, kDecoderParams, 2, decoderBody<neDecode>, nullptr)                                             \
  F(bpeEncodeArray, kEncoderParams, 1, (encodeArrayBody<bpeArrays, encoderBody<bpeEncode>>), kBpeEncodeArrayDoc) \
  F(neEncodeArray, kEncoderParams, 1, (encodeArrayBody<neArrays, encoderBody<neEncode>>), kNeEncodeArrayDoc)    \
  F(bpeDecodeArray, kArrayDecoderParams, 2, decodeArrayBody<bpeArrays>, kBpeDecodeArrayDoc)                  \
  F(neDecodeArray, kArrayDecoderParams, 2, decodeArrayBody<neArrays>, kNeDecodeArrayDoc)                     \
  F(frameEncode, kFrameEncoderParams, 1, frameEncode, kFrameEncodeDoc)                                      \
  F(frameDecode, kFrameDecoderParams, 1, frameDecode, kFrameDecodeDoc)                                      \
  F(frameInfo, kFrameParams, 1, frameInfo, kFrameInfoDoc)

// How many there are: the method array's size.
#define PYVASKOR_COUNT(...) +1
constexpr size_t kFunctionCount = 0 PYVASKOR_FUNCTIONS(PYVASKOR_COUNT);
#undef PYVASKOR_COUNT

// Each entry's definition and its entry procedure, `<name>Py_wrapper`.
#define PYVASKOR_DEFINE(name, params, required, body, doc)                         \
  constexpr ModuleFunction name##Function{#name, params, required, body};          \
  PyObject* name##Py_wrapper(PyObject*, PyObject* args, PyObject* kwargs) noexcept { \
    return runEntry(name##Function, args, kwargs);                                 \
  }
PYVASKOR_FUNCTIONS(PYVASKOR_DEFINE)
#undef PYVASKOR_DEFINE

__attribute__((constructor)) void startUp() {
  vaskor::outermost([] {
    char mark = 0;
    startLoadingThread(&mark);
    installSignalHandlers();
    initSharedLock();

    exportedModules.clear();
    recordStackBottom(&mark);
    moduleDesc = new PyModuleDesc();
    initPythonModuleDesc(*moduleDesc, "pyvaskor", "", kFunctionCount);
    registerExportedModule("pyvaskor", reinterpret_cast<void*>(&initpyvaskor),
                           reinterpret_cast<void*>(&PyInit_pyvaskor));
    curModuleDef = moduleDesc;

#define PYVASKOR_REGISTER(name, params, required, body, doc) registerMethod(#name, doc, name##Py_wrapper);
    PYVASKOR_FUNCTIONS(PYVASKOR_REGISTER)
#undef PYVASKOR_REGISTER
  });
}

}  // namespace

PYVASKOR_EXPORT PyObject* PyInit_pyvaskor() {
  return vaskor::outermost([] { return initModule3(*moduleDesc); });
}

PYVASKOR_EXPORT void initpyvaskor() {
  vaskor::outermost([] { initModule2(*moduleDesc); });
}
