#include "pybinding/args.hpp"

#include <cstring>
#include <string>

#include "pybinding/conversion.hpp"
#include "pybinding/py_lib.hpp"
#include "vaskor/failure.hpp"

namespace pybinding {

namespace {

int64_t positionalCount(PyObject* argTuple) {
  if (argsInPlace(argTuple)) return varSize(argTuple);
  return argTuple != nullptr ? pyLib->PyTuple_Size(argTuple) : 0;
}

void setTypeError(const std::string& msg) {
  pyLib->PyErr_SetString(pyLib->PyExc_TypeError, msg.c_str());
}

void setMissingError(const char* funcName, const char* name) {
  setTypeError(std::string(funcName) + "() missing 1 required positional argument: " + name);
}

bool namesParameter(PyObject* key, std::span<const char* const> argNames) {
  for (const char* name : argNames)
    if (keywordNameEquals(key, name)) return true;
  return false;
}

// Message 4 for the first key that names no parameter; every key and the
// iterator are released on each way out.
bool noUnknownKeyword(PyObject* kwargsDict, std::span<const char* const> argNames,
                      const char* funcName) {
  PyObject* iter = pyLib->PyObject_GetIter(kwargsDict);
  if (iter == nullptr) return false;
  while (PyObject* key = pyLib->PyIter_Next(iter)) {
    if (namesParameter(key, argNames)) {
      decRef(key);
      continue;
    }
    std::string text;
    bool isText;
    try {
      isText = pyStringToNative(key, text);
    } catch (...) {
      decRef(key);
      decRef(iter);
      throw;
    }
    if (!isText) {
      std::string msg = std::string("Can't convert python obj of type '") + typeName(typeOf(key)) +
                        "' to string";
      decRef(key);
      decRef(iter);
      vaskor::raise<vaskor::ValueError>(std::move(msg));
    }
    decRef(key);
    decRef(iter);
    setTypeError(std::string(funcName) + "() got an unexpected keyword argument " + text);
    return false;
  }
  decRef(iter);
  // A null from the iterator is either the end or a host error.
  return pyLib->PyErr_Occurred() == nullptr;
}

}  // namespace

bool keywordNameEquals(PyObject* key, const char* name) {
  if (pyLib->PyUnicode_CompareWithASCIIString != nullptr) {
    // The host's comparison reads the key as text without checking it.
    if (!hasType(key, pyLib->PyUnicode_Type)) return false;
    return pyLib->PyUnicode_CompareWithASCIIString(key, name) == 0;
  }
  const char* text = pyLib->PyString_AsString(key);
  if (text == name) return true;
  if (text == nullptr) {
    // Not readable as a byte string, so not this name; the host's error is ours.
    pyLib->PyErr_Clear();
    return false;
  }
  return name != nullptr && std::strcmp(text, name) == 0;
}

bool pyDictHasKey(PyObject* dict, const char* name) {
  PyObject* key = pyLib->PyUnicode_FromString(name);
  if (key == nullptr) {
    pyLib->PyErr_Clear();
    return false;
  }
  bool has = pyLib->PyDict_Contains(dict, key) == 1;
  decRef(key);
  return has;
}

bool verifyArgs(PyObject* argTuple, PyObject* kwargsDict, int64_t argsLen, int64_t argsLenReq,
                std::span<const char* const> argNames, const char* funcName) {
  int64_t nargs = positionalCount(argTuple);
  int64_t nkwargs = kwargsDict != nullptr ? pyLib->PyDict_Size(kwargsDict) : 0;
  int64_t given = nargs + nkwargs;

  bool countOk = argsLenReq < argsLen ? (argsLenReq <= given && given <= argsLen)
                                      : given == argsLen;
  if (!countOk) {
    setTypeError(std::string(funcName) + "() takes exactly " + std::to_string(argsLen) +
                 " arguments (" + std::to_string(given) + " given)");
    return false;
  }
  // Positional arguments alone: the count says everything.
  if (nkwargs == 0) return true;

  int64_t nkwargLeft = nkwargs;
  for (int64_t j = nargs; j < argsLen; ++j) {
    const char* name = argNames[static_cast<size_t>(j)];
    if (j < argsLenReq) {
      if (!pyDictHasKey(kwargsDict, name)) {
        setMissingError(funcName, name);
        return false;
      }
      --nkwargLeft;
    } else if (pyDictHasKey(kwargsDict, name)) {
      --nkwargLeft;
    }
  }
  if (nkwargLeft <= 0) return true;

  for (int64_t i = 0; i < nargs && i < argsLen; ++i) {
    const char* name = argNames[static_cast<size_t>(i)];
    if (pyDictHasKey(kwargsDict, name)) {
      setTypeError(std::string(funcName) + "() got multiple values for argument " + name);
      return false;
    }
  }
  return noUnknownKeyword(kwargsDict, argNames, funcName);
}

PyObject* getPyArg(PyObject* argTuple, PyObject* argDict, int64_t argIdx, const char* argName) {
  if (argsInPlace(argTuple)) {
    if (argIdx < varSize(argTuple)) return tupleItems(argTuple)[argIdx];
  } else if (argIdx < pyLib->PyTuple_Size(argTuple)) {
    if (PyObject* arg = pyLib->PyTuple_GetItem(argTuple, argIdx)) return arg;
  }
  if (argDict != nullptr) return pyLib->PyDict_GetItemString(argDict, argName);
  return nullptr;
}

PyRef takeRequiredArg(PyObject* argTuple, PyObject* argDict, int64_t argIdx, const char* argName,
                      const char* funcName) {
  // Nothing runs between the fetch and the hold: the borrowed object is alive.
  PyRef arg = PyRef::hold(getPyArg(argTuple, argDict, argIdx, argName));
  if (!arg) setMissingError(funcName, argName);
  return arg;
}

}  // namespace pybinding
