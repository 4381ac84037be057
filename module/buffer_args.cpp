#include "module/buffer_args.hpp"

#include <string>

#include "pybinding/conversion.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/unlocked.hpp"

namespace pyvaskor {

using namespace pybinding;

namespace {

// What a refused argument was, for the messages below.
std::string whatCame(PyObject* o, const PyBuffer& buffer, bool taken) {
  if (!taken) return std::string("an object of type '") + typeName(typeOf(o)) + "' without a buffer";
  std::string what = describeFormat(buffer.format(), buffer.itemSize());
  return buffer.contiguous() ? what : "a non-contiguous buffer of " + what;
}

PyObject* refused(const Call& call, const std::string& wanted, const std::string& came) {
  return typeError(std::string(call.name()) + "() expected " + wanted + ", got " + came);
}

constexpr const char* kIntBuffer =
    "a C-contiguous buffer of integers in native byte order (formats b B h H i I l L q Q)";
constexpr const char* kByteBuffer = "a C-contiguous buffer of bytes";

}  // namespace

PyObject* typeError(const std::string& msg) {
  pyLib->PyErr_SetString(pyLib->PyExc_TypeError, msg.c_str());
  return nullptr;
}

PyObject* valueError(const std::string& msg) {
  pyLib->PyErr_SetString(pyLib->PyExc_ValueError, msg.c_str());
  return nullptr;
}

bool hostServesArrays(const Call& call) {
  if (PyBuffer::hostHasBuffers() && hostCanUnlock() && pyLib->PySequence_Repeat != nullptr) return true;
  typeError(std::string(call.name()) + "() is not available: this host lacks the buffer or thread entries it needs");
  return false;
}

bool isListOrTuple(PyObject* o) { return getListOrTupleAccessors(o).getSize != nullptr; }

bool takeIntBuffer(const Call& call, PyObject* o, PyBuffer& buffer, ItemKind& kind) {
  const bool taken = buffer.take(o, false);
  if (taken && buffer.contiguous() && intItemKind(buffer.format(), buffer.itemSize(), kind)) return true;
  refused(call, kIntBuffer, whatCame(o, buffer, taken));
  return false;
}

bool takeByteBuffer(const Call& call, PyObject* o, PyBuffer& buffer) {
  const bool taken = buffer.take(o, false);
  if (taken && buffer.contiguous()) return true;
  refused(call, kByteBuffer, whatCame(o, buffer, taken));
  return false;
}

bool retakeByteBufferIfLoose(const Call& call, PyObject* o, PyBuffer& buffer) {
  if (buffer.retakeIfLoose(o, false) && buffer.contiguous()) return true;
  refused(call, kByteBuffer, whatCame(o, buffer, false));
  return false;
}

bool takeOutBuffer(const Call& call, PyObject* o, PyBuffer& out, const std::string& wanted, bool int64Only) {
  const bool taken = out.take(o, true);
  ItemKind kind;
  if (!taken || !out.contiguous() || !intItemKind(out.format(), out.itemSize(), kind) ||
      (int64Only && kind != ItemKind::I64)) {
    refused(call, "for out " + wanted, whatCame(o, out, taken));
    return false;
  }
  if (int64Only && reinterpret_cast<uintptr_t>(out.writableData()) % alignof(int64_t) != 0) {
    refused(call, "for out " + wanted, "one not aligned to 8 bytes");
    return false;
  }
  return true;
}

PyObject* outRefused(const Call& call, const std::string& wanted, const PyBuffer& out) {
  return refused(call, "for out " + wanted, describeFormat(out.format(), out.itemSize()));
}

bool outApart(const Call& call, std::span<const uint8_t> input, const PyBuffer& out) {
  const uint8_t* outEnd = out.data() + out.size();
  if (input.empty() || out.size() == 0 || out.data() >= input.data() + input.size() || input.data() >= outEnd)
    return true;
  valueError(std::string(call.name()) + "() cannot decode into out: it shares bytes with the input");
  return false;
}

bool outHasRoom(const Call& call, uint64_t count, size_t capacity) {
  if (count <= capacity) return true;
  valueError(std::string(call.name()) + "() needs room for " + std::to_string(count) + " values, out has " +
             std::to_string(capacity));
  return false;
}

}  // namespace pyvaskor
