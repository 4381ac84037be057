#include "module/list_functions.hpp"

#include <cstdint>

#include "module/encoded_pair.hpp"
#include "module/list_builder.hpp"
#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/py_ref.hpp"
#include "vaskor/failure.hpp"

namespace pyvaskor {

using namespace pybinding;

// After the argument check (done by the entry procedure from the function's
// entry), phase 1 converts the arguments (a recoverable failure is the
// caller's TypeError; a Defect finds no handler), phase 2 runs the codec
// and converts its result (every failure becomes a module exception).
// Every argument is held from its fetch to the end of the call: Python code
// that a conversion runs may drop the caller's references to it, and a
// decoder reads a bytes argument in place. Such code may also take a
// keyword out before its fetch, which fails the call as a missing argument.

PyObject* encoderBody(const Call& call, const vaskor::Codec& codec) {
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
    const int64_t width = codec.widthOfLargest(largest);
    const uint64_t size = codec.packedSize(a.values().size(), width);
    return newEncodedPair(size, width, [&](uint8_t* out) { codec.packInto(a.values(), width, out); });
  } catch (const vaskor::Exception& failure) {
    return pythonException(failure);
  }
}

PyObject* decoderBody(const Call& call, const vaskor::Codec& codec) {
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
    if (!codec.decodeToSink(bytes.view, l, list)) return nullptr;
    return list.release();
  } catch (const vaskor::Exception& failure) {
    return pythonException(failure);
  }
}

}  // namespace pyvaskor
