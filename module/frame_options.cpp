#include "module/frame_options.hpp"

#include "module/buffer_args.hpp"
#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/py_lib.hpp"

namespace pyvaskor {

namespace {

namespace frame = vaskor::frame;

// Every value of an enum the table names, by its byte.
template <class E, class F>
void forEachNamed(F f) {
  for (int b = 0; b < 256; ++b)
    if (const char* name = frame::nameOf(static_cast<E>(b))) f(static_cast<E>(b), name);
}

// Parameter i: absent (true, `given` false), or a str naming one value of E.
template <class E>
bool namedArg(const Call& call, int64_t i, E& value, bool& given) {
  const char* param = call.function.params[static_cast<size_t>(i)];
  PyRef o = call.optional(i);
  given = static_cast<bool>(o);
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
  bool found = false;
  std::string choices;
  int named = 0, total = 0;
  forEachNamed<E>([&](E, const char*) { ++total; });
  forEachNamed<E>([&](E v, const char* name) {
    if (text == name) {
      value = v;
      found = true;
    }
    choices += (named == 0 ? "'" : named + 1 < total ? ", '" : " or '") + std::string(name) + "'";
    ++named;
  });
  if (!found) valueError(std::string(param) + " must be " + choices + ", not '" + text + "'");
  return found;
}

// An int or None (absent) for a slice bound; false with the error set.
bool boundArg(const Call& call, int64_t i, bool& given, int64_t& value) {
  PyRef o = call.optional(i);
  given = static_cast<bool>(o);
  if (!o) return true;
  try {
    pyValueToNative(o.get(), value);
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  return true;
}

uint64_t sliceBound(int64_t v, uint64_t count) {
  if (v < 0) {
    const uint64_t back = static_cast<uint64_t>(-(v + 1)) + 1;
    return back >= count ? 0 : count - back;
  }
  return static_cast<uint64_t>(v) > count ? count : static_cast<uint64_t>(v);
}

}  // namespace

bool frameOptions(const Call& call, int64_t i, int64_t j, frame::Options& options) {
  bool layoutGiven = false, transformGiven = false;
  if (!namedArg(call, i, options.layout, layoutGiven) || !namedArg(call, j, options.transform, transformGiven))
    return false;
  if (!transformGiven)
    options.transform = options.layout == frame::Layout::blocked ? frame::Transform::perBlock
                                                                   : frame::Transform::frameOfReference;
  return true;
}

bool frameRange(const Call& call, int64_t i, int64_t j, uint64_t count, uint64_t& start, uint64_t& stop) {
  bool startGiven = false, stopGiven = false;
  int64_t a = 0, b = 0;
  if (!boundArg(call, i, startGiven, a) || !boundArg(call, j, stopGiven, b)) return false;
  start = startGiven ? sliceBound(a, count) : 0;
  stop = stopGiven ? sliceBound(b, count) : count;
  if (stop < start) stop = start;
  return true;
}

std::string dtypeName(frame::ElementType type) { return frame::nameOf(type); }

}  // namespace pyvaskor
