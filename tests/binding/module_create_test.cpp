// Module creation on both host families: what the host's creation function
// is handed, the exception class, and the host failing either step.
#include <gtest/gtest.h>

#include <string>

#include "lookup_recorder.hpp"
#include "module_test_support.hpp"

using namespace pybinding;

namespace {

bool isTerminator(const PyMethodDef& m) {
  return m.ml_name == nullptr && m.ml_meth == nullptr && m.ml_flags == 0 && m.ml_doc == nullptr;
}

class Python3Creation : public ModuleTest {};

TEST_F(Python3Creation, HostReceivesTheDefinitionAndApiVersion3) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py3"));
  PyObject* module = initModule3(desc);

  ASSERT_EQ(r.createCalls, 1);
  EXPECT_STREQ(r.createVia, "PyModule_Create2");
  EXPECT_EQ(r.createApi, 3);
  EXPECT_EQ(r.defRefcnt, 1);
  EXPECT_TRUE(r.defOtherFieldsZero);
  EXPECT_EQ(r.defName, desc.name);
  EXPECT_EQ(r.defDoc, desc.doc);
  EXPECT_STREQ(r.defDoc, "");
  EXPECT_EQ(r.defSize, -1);
  EXPECT_EQ(static_cast<void*>(r.createMethods.array), static_cast<void*>(desc.methods.data()));
  EXPECT_EQ(r.createMethods.count, 2);
  EXPECT_TRUE(r.createMethods.allVarargsKw);
  ASSERT_EQ(desc.methods.size(), 3u);
  EXPECT_TRUE(isTerminator(desc.methods[2]));

  EXPECT_EQ(static_cast<void*>(module), static_cast<void*>(r.lastModule));
  EXPECT_EQ(r.newExceptionCalls, 1);
  EXPECT_STREQ(r.newExceptionName, "nimpy.NimPyException");
  EXPECT_EQ(r.newExceptionBase, nullptr);
  EXPECT_EQ(r.newExceptionDict, nullptr);
  EXPECT_EQ(r.addObjectCalls, 1);
  EXPECT_EQ(r.addObjectModule, static_cast<void*>(module));
  EXPECT_STREQ(r.addObjectName, "NimPyException");
  EXPECT_EQ(r.addObjectValue, static_cast<void*>(r.lastClass));
  EXPECT_EQ(static_cast<void*>(pyLib->NimPyException), static_cast<void*>(r.lastClass));
  EXPECT_EQ(r.versionAddCalls, 1);
  EXPECT_EQ(r.versionModule, static_cast<void*>(module));
  EXPECT_STREQ(r.versionText, VASKOR_VERSION);
  // One reference for the module, one the table keeps; the module's own
  // reference is the caller's.
  EXPECT_EQ(r.lastClass->refcnt, 2);
  EXPECT_EQ(r.lastModule->refcnt, 1);
}

TEST_F(Python3Creation, LongerHeadHostGetsTheDefinitionBehindItsLinks) {
  void* host = installHost("fakehost_all_creation");
  ASSERT_EQ(hostProfile.refOffset, 16u);
  lookups::hide({"PyModule_Create2"});
  FakeHostRecord& r = recordOf(host);
  ASSERT_NE(initModule3(desc), nullptr);
  EXPECT_STREQ(r.createVia, "PyModule_Create2TraceRefs");
  EXPECT_TRUE(r.defLinksZero);
  EXPECT_EQ(r.defRefcnt, 1);
  EXPECT_TRUE(r.defOtherFieldsZero);
  EXPECT_EQ(r.defSize, -1);
  EXPECT_EQ(r.createMethods.count, 2);
}

TEST_F(Python3Creation, NoCreationFunctionReturnsNullAndSetsNoError) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py3"));
  lookups::hide({"PyModule_Create2", "PyModule_Create2TraceRefs"});
  EXPECT_EQ(initModule3(desc), nullptr);
  EXPECT_EQ(r.createCalls, 0);
  EXPECT_EQ(r.newExceptionCalls, 0);
  EXPECT_FALSE(r.errorSet);
}

TEST_F(Python3Creation, HostFailureIsPassedBackUntouched) {
  // The dummies of PyErr_Clear and PyErr_SetString abort if called.
  FakeHostRecord& r = recordOf(installHost("fakehost_py3"));
  r.createReturnsNull = 1;
  EXPECT_EQ(initModule3(desc), nullptr);
  EXPECT_EQ(r.createCalls, 1);
  EXPECT_TRUE(r.errorSet);
  EXPECT_EQ(r.newExceptionCalls, 0);
  EXPECT_EQ(r.addObjectCalls, 0);
}

TEST_F(Python3Creation, ExceptionClassFailureReleasesTheModule) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py3"));
  FakeObject earlierClass{};
  auto* earlier = reinterpret_cast<PyObject*>(&earlierClass);
  pyLib->NimPyException = earlier;
  r.newExceptionReturnsNull = 1;
  EXPECT_EQ(initModule3(desc), nullptr);
  EXPECT_EQ(r.newExceptionCalls, 1);
  EXPECT_EQ(r.addObjectCalls, 0);
  EXPECT_EQ(r.moduleDeallocs, 1);
  EXPECT_EQ(r.lastModule->refcnt, 0);
  EXPECT_EQ(pyLib->NimPyException, earlier);
}

class Python2Creation : public ModuleTest {};

TEST_F(Python2Creation, HostReceivesNameMethodsDocNullSelfAndApi1013) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py2"));
  initModule2(desc);

  ASSERT_EQ(r.init4Calls, 1);
  EXPECT_STREQ(r.init4Via, "Py_InitModule4");
  EXPECT_EQ(r.init4Name, desc.name);
  EXPECT_EQ(r.init4Doc, desc.doc);
  EXPECT_EQ(r.init4Self, nullptr);
  EXPECT_EQ(r.init4Api, 1013);
  EXPECT_EQ(static_cast<void*>(r.init4Methods.array), static_cast<void*>(desc.methods.data()));
  EXPECT_EQ(r.init4Methods.count, 2);
  EXPECT_TRUE(r.init4Methods.allVarargsKw);

  EXPECT_STREQ(r.newExceptionName, "nimpy.NimPyException");
  EXPECT_EQ(r.addObjectModule, static_cast<void*>(r.lastModule));
  EXPECT_STREQ(r.addObjectName, "NimPyException");
  EXPECT_EQ(r.addObjectValue, static_cast<void*>(r.lastClass));
  EXPECT_EQ(static_cast<void*>(pyLib->NimPyException), static_cast<void*>(r.lastClass));
}

TEST_F(Python2Creation, FallsBackToInitModule4_64) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py2"));
  lookups::hide({"Py_InitModule4"});
  initModule2(desc);
  EXPECT_EQ(r.init4Calls, 1);
  EXPECT_STREQ(r.init4Via, "Py_InitModule4_64");
  EXPECT_EQ(r.addObjectCalls, 1);
}

TEST_F(Python2Creation, NoCreationFunctionCreatesNothing) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py2"));
  lookups::hide({"Py_InitModule4", "Py_InitModule4_64"});
  initModule2(desc);
  EXPECT_EQ(r.init4Calls, 0);
  EXPECT_EQ(r.newExceptionCalls, 0);
  EXPECT_FALSE(r.errorSet);
}

TEST_F(Python2Creation, HostFailuresStopTheInit) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py2"));
  r.createReturnsNull = 1;
  initModule2(desc);
  EXPECT_EQ(r.init4Calls, 1);
  EXPECT_EQ(r.newExceptionCalls, 0);

  r.createReturnsNull = 0;
  r.newExceptionReturnsNull = 1;
  initModule2(desc);
  EXPECT_EQ(r.newExceptionCalls, 1);
  EXPECT_EQ(r.addObjectCalls, 0);
  // The module is the host's (borrowed): never released here.
  EXPECT_EQ(r.moduleDeallocs, 0);
  EXPECT_EQ(r.lastModule->refcnt, 1);
}

}  // namespace
