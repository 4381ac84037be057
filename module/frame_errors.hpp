// The frame functions' failures: a corrupt frame is a pyvaskor.FrameError,
// a newer one a pyvaskor.FrameVersionError (a FrameError), both ValueErrors.
// The classes are pyvaskor_errors' plain Python ones, so that they pickle
// into a process that loads no native code.
#pragma once

#include "pybinding/host_profile.hpp"
#include "vaskor/failure.hpp"

namespace pyvaskor {

using pybinding::PyObject;

// Adds FrameError and FrameVersionError to a new module; false with the
// host's error set when it cannot. Where pyvaskor_errors cannot be
// imported, classes of the same names and bases are made here instead.
bool addFrameErrors(PyObject* module);

// A codec failure on a frame as the caller sees it: FrameError or
// FrameVersionError with its message, ValueError for the caller's
// arguments, else a module exception. Always null.
PyObject* frameFailure(const vaskor::Exception& failure);

}  // namespace pyvaskor
