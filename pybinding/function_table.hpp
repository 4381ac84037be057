// A module function as one entry: its name, its parameters (the first
// `required` of them required) and its body. The entry procedure, the
// registration and the argument check all come from the entry, so a name
// or a parameter name is written once.
#pragma once

#include <cstdint>
#include <span>

#include "pybinding/args.hpp"
#include "pybinding/process_hooks.hpp"
#include "pybinding/py_ref.hpp"
#include "vaskor/failure.hpp"

namespace pybinding {

struct ModuleFunction;

// One call of a module function, its arguments already checked.
struct Call {
  const ModuleFunction& function;
  PyObject* args;
  PyObject* kwargs;

  const char* name() const;
  // The argument for parameter `i`, held for the rest of the call; empty
  // with the missing-parameter TypeError set when it is gone.
  PyRef required(int64_t i) const;
  // The argument for parameter `i`, held; empty when not given or None.
  PyRef optional(int64_t i) const;
};

struct ModuleFunction {
  const char* name;
  std::span<const char* const> params;
  int64_t required;
  PyObject* (*body)(const Call&);
};

inline const char* Call::name() const { return function.name; }
inline PyRef Call::required(int64_t i) const {
  if (argsInPlace(args) && i < varSize(args)) return PyRef::hold(tupleItems(args)[i]);
  return takeRequiredArg(args, kwargs, i, function.params[static_cast<size_t>(i)], function.name);
}
inline PyRef Call::optional(int64_t i) const {
  PyRef arg = PyRef::hold(getPyArg(args, kwargs, i, function.params[static_cast<size_t>(i)]));
  if (arg && arg.get() == pyLib->Py_None) return PyRef();
  return arg;
}

// The argument check, then the body. Never inlined into the entry
// procedure, so all it allocates lies below the attach's mark.
[[gnu::noinline]] inline PyObject* checkAndRun(const ModuleFunction& f, PyObject* args, PyObject* kwargs) {
  const auto paramCount = static_cast<int64_t>(f.params.size());
  if (!onlyPositionalFit(args, kwargs, paramCount, f.required) &&
      !verifyArgs(args, kwargs, paramCount, f.required, f.params, f.name))
    return nullptr;
  return f.body(Call{f, args, kwargs});
}

// What every entry procedure does: attach the thread, then check and run.
// Nothing native unwinds past it: memory exhaustion takes the
// out-of-memory stop.
[[gnu::always_inline]] inline PyObject* runEntry(const ModuleFunction& f, PyObject* args,
                                                 PyObject* kwargs) noexcept {
  char mark = 0;
  attachThread(&mark);
  return vaskor::outermost([&] { return checkAndRun(f, args, kwargs); });
}

}  // namespace pybinding
