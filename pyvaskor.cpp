// The pyvaskor module: its start-up, run by the dynamic loader, and the two
// init entries the host calls on import.
#include "pybinding/module_def.hpp"
#include "pybinding/py_lib.hpp"
#include "runtime/failure.hpp"

using namespace pybinding;

#define PYVASKOR_EXPORT extern "C" __attribute__((visibility("default")))

PYVASKOR_EXPORT PyObject* PyInit_pyvaskor();
PYVASKOR_EXPORT void initpyvaskor();

namespace {

// Allocated at start-up and never freed: the host keeps pointing into its
// method array until the process ends.
PyModuleDesc* moduleDesc = nullptr;

__attribute__((constructor)) void startUp() {
  vaskor::outermost([] {
    // Process hooks (signal handlers) are installed here.

    exportedModules.clear();
    moduleDesc = new PyModuleDesc();
    initPythonModuleDesc(*moduleDesc, "pyvaskor", "");
    registerExportedModule("pyvaskor", reinterpret_cast<void*>(&initpyvaskor),
                           reinterpret_cast<void*>(&PyInit_pyvaskor));
    curModuleDef = moduleDesc;

    // The module functions are registered here, in order.
  });
}

}  // namespace

PYVASKOR_EXPORT PyObject* PyInit_pyvaskor() {
  return vaskor::outermost([] { return initModule3(*moduleDesc); });
}

PYVASKOR_EXPORT void initpyvaskor() {
  vaskor::outermost([] { initModule2(*moduleDesc); });
}
