#include "module_test_support.hpp"

using namespace pybinding;

PyObject* fakeFunction(PyObject*, PyObject*, PyObject*) { return nullptr; }
PyObject* otherFakeFunction(PyObject*, PyObject*, PyObject*) { return nullptr; }

void ModuleTest::SetUp() {
  BindingTest::SetUp();
  // Room for a third, which a test registers.
  initPythonModuleDesc(desc, "pyvaskor", "", 3);
  curModuleDef = &desc;
  registerMethod("first", nullptr, fakeFunction);
  registerMethod("second", nullptr, otherFakeFunction);
}

void ModuleTest::TearDown() {
  curModuleDef = nullptr;
  BindingTest::TearDown();
}

void* ModuleTest::installHost(const char* name) {
  void* host = openFakeHost(name);
  table.reset(loadPyLibFromModule(host));
  pyLib = table.get();
  return host;
}
