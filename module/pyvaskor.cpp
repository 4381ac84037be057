// The pyvaskor module: its functions, its start-up, run by the dynamic
// loader, and the two init entries the host calls on import.
#include <cstddef>

#include "module/array_functions.hpp"
#include "module/frame_errors.hpp"
#include "module/frame_functions.hpp"
#include "module/list_functions.hpp"
#include "pybinding/function_table.hpp"
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

// A body over one format: `body` given the format's descriptor.
template <PyObject* (*body)(const Call&, const vaskor::Codec&), const vaskor::Codec& codec>
PyObject* over(const Call& call) {
  return body(call, codec);
}

constexpr const char* kEncoderParams[] = {"a"};
constexpr const char* kDecoderParams[] = {"bytes", "l"};
constexpr const char* kArrayDecoderParams[] = {"bytes", "l", "out"};
constexpr const char* kFrameEncoderParams[] = {"a", "layout", "transform"};
constexpr const char* kFrameDecoderParams[] = {"frame", "out", "start", "stop"};
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
    "frameEncode(a, layout='bpe', transform=None)",
    "A self-describing frame of the integer items of buffer a (a list or tuple: int64),\n"
    "of their own element type; layout 'bpe', 'ne' or 'blocked' (blocks of 1024 values,\n"
    "each encoded its own way), transform 'for' or 'delta' ('blocked': also 'auto', the\n"
    "default, which lets each block choose).");
constexpr const char* kFrameDecodeDoc = PYVASKOR_SIGNED(
    "frameDecode(frame, out=None, start=0, stop=None)",
    "The values [start:stop] of a frame as a new array.array of its element type, or\n"
    "written into out (integers of the frame's item size), giving their count.");
constexpr const char* kFrameInfoDoc = PYVASKOR_SIGNED(
    "frameInfo(frame)", "The header of a frame as a dict (version, layout, transform, dtype, itemsize,\n"
                        "count, width, nbytes) and its blocks (blocks, segments, and schemes: the\n"
                        "blocks of each scheme), without decoding it.");
#undef PYVASKOR_SIGNED

// The module's functions in the order of its method list: name,
// parameters, how many of them are required, body, doc (null: none).
#define PYVASKOR_FUNCTIONS(F)                                                                                \
  F(bpeEncode, kEncoderParams, 1, (over<encoderBody, vaskor::bpe::codec>), nullptr)                          \
  F(neEncode, kEncoderParams, 1, (over<encoderBody, vaskor::ne::codec>), nullptr)                            \
  F(bpeDecode, kDecoderParams, 2, (over<decoderBody, vaskor::bpe::codec>), nullptr)                          \
  F(neDecode, kDecoderParams, 2, (over<decoderBody, vaskor::ne::codec>), nullptr)                            \
  F(bpeEncodeArray, kEncoderParams, 1, (over<encodeArray, vaskor::bpe::codec>), kBpeEncodeArrayDoc)          \
  F(neEncodeArray, kEncoderParams, 1, (over<encodeArray, vaskor::ne::codec>), kNeEncodeArrayDoc)             \
  F(bpeDecodeArray, kArrayDecoderParams, 2, (over<decodeArray, vaskor::bpe::codec>), kBpeDecodeArrayDoc)     \
  F(neDecodeArray, kArrayDecoderParams, 2, (over<decodeArray, vaskor::ne::codec>), kNeDecodeArrayDoc)        \
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
    moduleDesc->addAttributes = &addFrameErrors;
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
