// The descriptor over several init calls: the table is loaded by the first
// call only, and the method array the host holds never moves.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lookup_recorder.hpp"
#include "module_test_support.hpp"
#include "vaskor/failure.hpp"

using namespace pybinding;

namespace {

bool isTerminator(const PyMethodDef& m) {
  return m.ml_name == nullptr && m.ml_meth == nullptr && m.ml_flags == 0 && m.ml_doc == nullptr;
}

class DescriptorTest : public ModuleTest {};

TEST_F(DescriptorTest, RegisteredEntriesTakeVarargsAndKeywords) {
  static const char kDoc[] = "doc text";
  registerMethod("third", kDoc, fakeFunction);
  ASSERT_EQ(desc.methods.size(), 3u);
  EXPECT_STREQ(desc.methods[0].ml_name, "first");
  EXPECT_STREQ(desc.methods[1].ml_name, "second");
  const PyMethodDef& m = desc.methods[2];
  EXPECT_EQ(m.ml_flags, 3);
  EXPECT_EQ(m.ml_doc, kDoc);  // kept, not copied
  EXPECT_EQ(reinterpret_cast<void*>(m.ml_meth), reinterpret_cast<void*>(&fakeFunction));
  EXPECT_EQ(desc.methods[0].ml_doc, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(desc.methods[1].ml_meth), reinterpret_cast<void*>(&otherFakeFunction));

  initPythonModuleDesc(desc, "other", "text", 3);
  EXPECT_STREQ(desc.name, "other");
  EXPECT_STREQ(desc.doc, "text");
  EXPECT_EQ(desc.methods.size(), 3u);
}

TEST_F(DescriptorTest, ArrayStorageIsReservedBeforeTheHostSeesIt) {
  // Room for the three functions the descriptor was set up with, and the
  // closing entries of the init calls it keeps.
  EXPECT_EQ(desc.methodCapacity, 3u + PyModuleDesc::kClosingsKept);
  EXPECT_GE(desc.methods.capacity(), desc.methodCapacity);
  while (desc.methods.size() < desc.methodCapacity) registerMethod("more", nullptr, fakeFunction);
  const PyMethodDef* storage = desc.methods.data();
  EXPECT_THROW(registerMethod("one too many", nullptr, fakeFunction), vaskor::AssertionDefect);
  EXPECT_EQ(desc.methods.data(), storage);
}

class SecondInitTest : public ModuleTest {};

TEST_F(SecondInitTest, ReusesTheTableWithoutALookup) {
  // The host's names are in the process scope, as in an interpreter.
  void* host = openFakeHost("fakehost_py3", /*global=*/true);
  FakeHostRecord& r = recordOf(host);

  lookups::startRecording();
  ASSERT_NE(initModule3(desc), nullptr);
  std::vector<std::string> first = lookups::stopRecording();
  ASSERT_NE(pyLib, nullptr);
  std::unique_ptr<PyLib> owned(pyLib);  // the module never frees it; the test does
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.front(), "Py_GetVersion");
  EXPECT_EQ(first.back(), "PyModule_Create2");
  PyLib* loaded = pyLib;
  PyObject* firstClass = pyLib->NimPyException;
  const PyMethodDef* storage = desc.methods.data();
  void* firstBlock = r.createBlock;

  lookups::startRecording();
  ASSERT_NE(initModule3(desc), nullptr);
  EXPECT_EQ(lookups::stopRecording(), std::vector<std::string>{"PyModule_Create2"});
  EXPECT_EQ(pyLib, loaded);
  EXPECT_EQ(r.versionCalls, 1);

  // A new definition and class; the same array, closed once more.
  EXPECT_EQ(r.createCalls, 2);
  EXPECT_NE(r.createBlock, firstBlock);
  EXPECT_NE(pyLib->NimPyException, firstClass);
  EXPECT_EQ(desc.methods.data(), storage);
  EXPECT_EQ(static_cast<const void*>(r.createMethods.array), static_cast<const void*>(storage));
  EXPECT_EQ(r.createMethods.count, 2);
  ASSERT_EQ(desc.methods.size(), 4u);
  EXPECT_STREQ(desc.methods[0].ml_name, "first");
  EXPECT_STREQ(desc.methods[1].ml_name, "second");
  EXPECT_TRUE(isTerminator(desc.methods[2]));
  EXPECT_TRUE(isTerminator(desc.methods[3]));
}

TEST_F(SecondInitTest, ManyInitCallsNeverMoveTheArray) {
  FakeHostRecord& r = recordOf(installHost("fakehost_py2"));
  const PyMethodDef* storage = nullptr;
  for (int i = 0; i < 40; ++i) {
    initModule2(desc);
    if (i == 0) storage = desc.methods.data();
    ASSERT_EQ(desc.methods.data(), storage) << "call " << i + 1;
    ASSERT_EQ(r.init4Methods.count, 2) << "call " << i + 1;
  }
  EXPECT_EQ(r.init4Calls, 40);
  EXPECT_LE(desc.methods.size(), desc.methods.capacity());
}

TEST_F(SecondInitTest, FailedLoadLeavesTheTableEmptyAndCreatesNothing) {
  FakeHostRecord& r = recordOf(openFakeHost("fakehost_py3", /*global=*/true));
  lookups::hide({"PySuper_Type"});
  try {
    initModule3(desc);
    FAIL() << "init succeeded";
  } catch (const vaskor::ValueError& e) {
    EXPECT_EQ(e.msg, "Symbol not loaded: PySuper_Type");
  }
  EXPECT_EQ(pyLib, nullptr);
  EXPECT_EQ(r.createCalls, 0);
}

}  // namespace
