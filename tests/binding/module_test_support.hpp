// A module descriptor for the creation tests, filled like the module's own
// start-up fills it, and the table loaded from a fake host.
#pragma once

#include <memory>

#include "fake_hosts.hpp"
#include "pybinding/module_def.hpp"
#include "pybinding/py_lib.hpp"

pybinding::PyObject* fakeFunction(pybinding::PyObject*, pybinding::PyObject*, pybinding::PyObject*);
pybinding::PyObject* otherFakeFunction(pybinding::PyObject*, pybinding::PyObject*, pybinding::PyObject*);

class ModuleTest : public BindingTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Loads the table from `name` into pyLib and returns the host.
  void* installHost(const char* name);

  pybinding::PyModuleDesc desc;
  std::unique_ptr<pybinding::PyLib> table;
};
