// Test-only module _vaskor_argcheck: f(n, base, step) with one required and
// two optional integer parameters, put together from the same binding code
// as pyvaskor. It returns (n, base, step), None for a parameter not given,
// so tests see which parameters the checks let through and where they came
// from. Never installed.
#include <cstdint>

#include "pybinding/args.hpp"
#include "pybinding/conversion.hpp"
#include "pybinding/errors.hpp"
#include "pybinding/module_def.hpp"
#include "pybinding/process_hooks.hpp"
#include "pybinding/py_lib.hpp"
#include "vaskor/failure.hpp"

using namespace pybinding;

#define ARGCHECK_EXPORT extern "C" __attribute__((visibility("default")))

ARGCHECK_EXPORT PyObject* PyInit__vaskor_argcheck();
ARGCHECK_EXPORT void init_vaskor_argcheck();

namespace {

constexpr const char* kNames[] = {"n", "base", "step"};
constexpr int kParams = 3;

PyModuleDesc* moduleDesc = nullptr;

PyObject* paramToPy(bool given, int64_t v) {
  if (given) return nativeValueToPy(v);
  incRef(pyLib->Py_None);
  return pyLib->Py_None;
}

[[gnu::noinline]] PyObject* fBody(PyObject* args, PyObject* kwargs) {
  if (!verifyArgs(args, kwargs, kParams, 1, kNames, "f")) return nullptr;
  int64_t values[kParams] = {};
  bool given[kParams] = {};
  try {
    for (int i = 0; i < kParams; ++i) {
      if (PyObject* o = getPyArg(args, kwargs, i, kNames[i])) {
        pyValueToNative(o, values[i]);
        given[i] = true;
      }
    }
  } catch (const vaskor::CatchableError& failure) {
    return pythonTypeError(failure);
  }
  PyObject* result = pyLib->PyTuple_New(kParams);
  if (result == nullptr) return nullptr;
  for (int i = 0; i < kParams; ++i) {
    PyObject* item = paramToPy(given[i], values[i]);
    if (item == nullptr) {
      decRef(result);
      return nullptr;
    }
    pyLib->PyTuple_SetItem(result, i, item);
  }
  return result;
}

PyObject* f(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
  char marker = 0;
  attachThread(&marker);
  return vaskor::outermost([&] { return fBody(args, kwargs); });
}

__attribute__((constructor)) void startUp() {
  vaskor::outermost([] {
    moduleDesc = new PyModuleDesc();
    initPythonModuleDesc(*moduleDesc, "_vaskor_argcheck", "", 1);
    curModuleDef = moduleDesc;
    registerMethod("f", nullptr, f);
  });
}

}  // namespace

ARGCHECK_EXPORT PyObject* PyInit__vaskor_argcheck() {
  return vaskor::outermost([] { return initModule3(*moduleDesc); });
}

ARGCHECK_EXPORT void init_vaskor_argcheck() {
  vaskor::outermost([] { initModule2(*moduleDesc); });
}
