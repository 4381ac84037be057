// Checks a call's positional and keyword arguments against a parameter list,
// in the interpreter's own TypeError wording, and fetches each parameter.
#pragma once

#include <cstdint>
#include <span>

#include "pybinding/host_profile.hpp"
#include "pybinding/py_lib.hpp"
#include "pybinding/py_ref.hpp"

namespace pybinding {

// A call's positional arguments come in a tuple the host made; an exact one
// whose layout the profile verified is read in place, as the host's own
// PyTuple_Size and PyTuple_GetItem read it.
inline bool argsInPlace(PyObject* argTuple) {
  return hostProfile.tupleItems != 0 && argTuple != nullptr && typeOf(argTuple) == pyLib->PyTuple_Type;
}

// What verifyArgs finds for a call without keywords whose positional
// arguments, read in place, are as many as the parameters take: true, with
// nothing asked of the host (small calls). False: ask verifyArgs.
inline bool onlyPositionalFit(PyObject* argTuple, PyObject* kwargsDict, int64_t argsLen, int64_t argsLenReq) {
  if (kwargsDict != nullptr || !argsInPlace(argTuple)) return false;
  const int64_t given = varSize(argTuple);
  return argsLenReq <= given && given <= argsLen;
}

// False once a TypeError is set (the caller returns null at once). The first
// `argsLenReq` of the `argsLen` parameters are required. Raises ValueError
// for a keyword that is not text.
bool verifyArgs(PyObject* argTuple, PyObject* kwargsDict, int64_t argsLen, int64_t argsLenReq,
                std::span<const char* const> argNames, const char* funcName);

// The object given for parameter `argIdx` named `argName`, by position first,
// else by keyword; null when not given. Borrowed.
PyObject* getPyArg(PyObject* argTuple, PyObject* argDict, int64_t argIdx, const char* argName);

// getPyArg for a required parameter, held for the rest of the call. Python
// code run after verifyArgs (a key's __eq__) can empty the keyword
// dictionary, so a parameter may still be gone: then the missing-parameter
// TypeError is set and the result is empty.
PyRef takeRequiredArg(PyObject* argTuple, PyObject* argDict, int64_t argIdx, const char* argName,
                      const char* funcName);

bool pyDictHasKey(PyObject* dict, const char* name);

// Whether a keyword key equals the ASCII `name`.
bool keywordNameEquals(PyObject* key, const char* name);

}  // namespace pybinding
