// Statuses: their names, and which C++ failure becomes which.
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string_view>

#include "capi/guard.hpp"
#include "vaskor/failure.hpp"
#include "vaskor/frame.hpp"

namespace vaskor::capi {

namespace {

// The codecs raise ValueError both for a bad argument and for caller storage
// that is too short; the latter's message is the one fixed form they share
// (vaskor/detail/room.hpp), and the C tests fail if that form changes.
bool tooSmall(const ValueError& e) { return std::string_view(e.msg).starts_with("output too small"); }

}  // namespace

vaskor_status report(vaskor_error* error, vaskor_status status, const char* kind, const char* message) noexcept {
  if (error == nullptr) return status;
  error->status = status;
  // snprintf with %s does not allocate: safe after memory ran out.
  if (kind != nullptr)
    std::snprintf(error->message, sizeof error->message, "%s: %s", kind, message);
  else
    std::snprintf(error->message, sizeof error->message, "%s", message);
  return status;
}

vaskor_status reportCurrent(vaskor_error* error) noexcept {
  try {
    throw;
  } catch (const frame::FrameVersionError& e) {
    return report(error, VASKOR_UNSUPPORTED_VERSION, e.name, e.msg.c_str());
  } catch (const frame::FrameError& e) {
    return report(error, VASKOR_CORRUPT_FRAME, e.name, e.msg.c_str());
  } catch (const ValueError& e) {
    return report(error, tooSmall(e) ? VASKOR_OUTPUT_TOO_SMALL : VASKOR_INVALID_ARGUMENT, e.name, e.msg.c_str());
  } catch (const Defect& e) {
    // The raw decoders' checks of width and data, and counts too large for
    // any size, are Defects in C++: here they are the caller's arguments.
    return report(error, VASKOR_INVALID_ARGUMENT, e.name, e.msg.c_str());
  } catch (const std::bad_alloc&) {
    return report(error, VASKOR_OUT_OF_MEMORY, nullptr, "out of memory");
  } catch (const Exception& e) {
    return report(error, VASKOR_INTERNAL, e.name, e.msg.c_str());
  } catch (const std::exception& e) {
    return report(error, VASKOR_INTERNAL, "C++ exception", e.what());
  } catch (...) {
    return report(error, VASKOR_INTERNAL, nullptr, "unknown C++ exception");
  }
}

void requirePointer(const void* p, const char* what) {
  if (p == nullptr) raise<ValueError>(std::string(what) + " is a null pointer");
}

}  // namespace vaskor::capi

extern "C" const char* vaskor_status_name(vaskor_status status) {
  switch (status) {
    case VASKOR_OK: return "VASKOR_OK";
    case VASKOR_INVALID_ARGUMENT: return "VASKOR_INVALID_ARGUMENT";
    case VASKOR_OUTPUT_TOO_SMALL: return "VASKOR_OUTPUT_TOO_SMALL";
    case VASKOR_CORRUPT_FRAME: return "VASKOR_CORRUPT_FRAME";
    case VASKOR_UNSUPPORTED_VERSION: return "VASKOR_UNSUPPORTED_VERSION";
    case VASKOR_OUT_OF_MEMORY: return "VASKOR_OUT_OF_MEMORY";
    case VASKOR_INTERNAL: return "VASKOR_INTERNAL";
  }
  return "unknown status";
}
