// Native failures of a module call become Python exceptions.
#pragma once

#include "pybinding/host_profile.hpp"
#include "runtime/failure.hpp"

namespace pybinding {

// Sets an exception of a fresh class "nimpy." + kind name, derived from the
// module's NimPyException, with "Unexpected error encountered: " + msg.
// Always null: the result a module function returns with an error set.
PyObject* pythonException(const vaskor::Exception& failure);

// A recoverable failure of argument conversion: TypeError with its message.
// Always null.
PyObject* pythonTypeError(const vaskor::Exception& failure);

}  // namespace pybinding
