// The pyvaskor module: its four functions, its start-up, run by the dynamic
// loader, and the two init entries the host calls on import.
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "pybinding/args.hpp"
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

#define PYVASKOR_EXPORT extern "C" __attribute__((visibility("default")))

PYVASKOR_EXPORT PyObject* PyInit_pyvaskor();
PYVASKOR_EXPORT void initpyvaskor();

namespace {

// Allocated at start-up and never freed: the host keeps pointing into its
// method array until the process ends.
PyModuleDesc* moduleDesc = nullptr;

// The native procedures, one per Python function. Each does what its
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

// The call frame all four share. After the argument check, phase 1 converts
// the arguments (a recoverable failure is the caller's TypeError; a Defect
// finds no handler), phase 2 runs the codec and converts its result (every
// failure becomes a module exception). The bodies are never inlined into the
// entry procedures, so all they allocate lies below the attach's mark.
// Every argument is held from its fetch to the end of the call: Python code
// that a conversion runs may drop the caller's references to it, and a
// decoder reads a bytes argument in place. Such code may also take a
// keyword out before its fetch, which fails the call as a missing argument.

constexpr const char* kEncoderArgs[] = {"a"};
constexpr const char* kDecoderArgs[] = {"bytes", "l"};

template <const Encoder& codec>
[[gnu::noinline]] PyObject* encoderBody(const char* funcName, PyObject* args, PyObject* kwargs) {
  if (!verifyArgs(args, kwargs, 1, 1, kEncoderArgs, funcName)) return nullptr;
  PyRef aObj = takeRequiredArg(args, kwargs, 0, "a", funcName);
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
[[gnu::noinline]] PyObject* decoderBody(const char* funcName, PyObject* args, PyObject* kwargs) {
  if (!verifyArgs(args, kwargs, 2, 2, kDecoderArgs, funcName)) return nullptr;
  PyRef bytesObj = takeRequiredArg(args, kwargs, 0, "bytes", funcName);
  if (!bytesObj) return nullptr;
  PyRef lObj;
  ByteArg bytes;
  int64_t l = 0;
  try {
    pyValueToNative(bytesObj.get(), bytes);
    lObj = takeRequiredArg(args, kwargs, 1, "l", funcName);
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

// The entry procedures: attach the thread, then run the body. Nothing native
// unwinds past them: memory exhaustion takes the out-of-memory stop.

PyObject* bpeEncodePy_wrapper(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  char mark = 0;
  attachThread(&mark);
  return vaskor::outermost([&] { return encoderBody<bpeEncode>("bpeEncode", args, kwargs); });
}

PyObject* neEncodePy_wrapper(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  char mark = 0;
  attachThread(&mark);
  return vaskor::outermost([&] { return encoderBody<neEncode>("neEncode", args, kwargs); });
}

PyObject* bpeDecodePy_wrapper(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  char mark = 0;
  attachThread(&mark);
  return vaskor::outermost([&] { return decoderBody<bpeDecode>("bpeDecode", args, kwargs); });
}

PyObject* neDecodePy_wrapper(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  char mark = 0;
  attachThread(&mark);
  return vaskor::outermost([&] { return decoderBody<neDecode>("neDecode", args, kwargs); });
}

__attribute__((constructor)) void startUp() {
  vaskor::outermost([] {
    char mark = 0;
    startLoadingThread(&mark);
    installSignalHandlers();
    initSharedLock();

    exportedModules.clear();
    recordStackBottom(&mark);
    moduleDesc = new PyModuleDesc();
    initPythonModuleDesc(*moduleDesc, "pyvaskor", "");
    registerExportedModule("pyvaskor", reinterpret_cast<void*>(&initpyvaskor),
                           reinterpret_cast<void*>(&PyInit_pyvaskor));
    curModuleDef = moduleDesc;

    registerMethod("bpeEncode", nullptr, bpeEncodePy_wrapper);
    registerMethod("neEncode", nullptr, neEncodePy_wrapper);
    registerMethod("bpeDecode", nullptr, bpeDecodePy_wrapper);
    registerMethod("neDecode", nullptr, neDecodePy_wrapper);
  });
}

}  // namespace

PYVASKOR_EXPORT PyObject* PyInit_pyvaskor() {
  return vaskor::outermost([] { return initModule3(*moduleDesc); });
}

PYVASKOR_EXPORT void initpyvaskor() {
  vaskor::outermost([] { initModule2(*moduleDesc); });
}
