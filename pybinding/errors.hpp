// Native failures of a module call become Python exceptions.
#pragma once

#include "pybinding/host_profile.hpp"
#include "vaskor/failure.hpp"

namespace pybinding {

// Sets an exception of a fresh class "nimpy." + kind name, derived from the
// module's NimPyException, with "Unexpected error encountered: " + msg.
// Always null: the result a module function returns with an error set.
PyObject* pythonException(const vaskor::Exception& failure);

// A conversion refused with the interpreter's own exception pending (one
// that is no Exception, such as KeyboardInterrupt, or a MemoryError): no
// conversion failure, so that exception stays set for the caller.
class InterpreterExceptionPending : public vaskor::CatchableError {
 public:
  using CatchableError::CatchableError;
  static constexpr const char* kindName = "InterpreterExceptionPending";
};

// A recoverable failure of argument conversion: TypeError with its message,
// except that an interpreter exception already pending stays. Always null.
PyObject* pythonTypeError(const vaskor::Exception& failure);

}  // namespace pybinding
