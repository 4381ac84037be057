// The built pyvaskor.so loaded by fake host processes: import through either
// init entry, and the loader's failures ending the host process.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "child_process.hpp"

namespace {

ChildResult runHost(const std::string& host, const char* entry, int calls, const char* mode = nullptr) {
  std::vector<std::string> argv = {std::string(FAKE_HOST_BIN_DIR) + "/" + host, PYVASKOR_MODULE, entry,
                                   std::to_string(calls)};
  if (mode != nullptr) argv.emplace_back(mode);
  return runChild(argv);
}

// The unhandled-failure report: the loader's raise site, then the message.
void expectLoaderStop(const ChildResult& r, const std::string& msg, const char* raiser) {
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "") << "the host went on after the failed init";
  std::regex report("pybinding/py_lib\\.cpp\\([0-9]+\\) +[^\n]*" + std::string(raiser) +
                    "[^\n]*\nError: unhandled exception: " + msg + " \\[ValueError\\]\n");
  EXPECT_TRUE(std::regex_match(r.err, report)) << "stderr was:\n" << r.err;
}

TEST(LoaderStop, NoVersionFunction) {
  expectLoaderStop(runHost("fakehost_exe_noversion", "3", 1), "Could not determine Python version",
                   "getPyVersion");
}

TEST(LoaderStop, VersionTextStartingWithALetter) {
  expectLoaderStop(runHost("fakehost_exe_letter", "3", 1),
                   "Could not determine Python version: Python 3\\.12\\.1", "getPyVersion");
}

TEST(LoaderStop, MissingSuperType) {
  expectLoaderStop(runHost("fakehost_exe_nosuper", "3", 1), "Symbol not loaded: PySuper_Type",
                   "symNotLoadedErr");
}

TEST(LoaderStop, NoUtf8ConverterThroughThePython2Entry) {
  expectLoaderStop(runHost("fakehost_exe_noutf8", "2", 1), "Symbol not loaded: PyUnicodeUCS2_AsUTF8String",
                   "symNotLoadedErr");
}

TEST(FakeHostImport, Python3EntryCreatesTheModule) {
  ChildResult r = runHost("fakehost_exe_py3", "3", 1);
  ASSERT_TRUE(r.exited && r.status == 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto v = r.values();
  EXPECT_EQ(v["result1"], "module");
  EXPECT_EQ(v["versionCalls"], "1");
  EXPECT_EQ(v["createCalls"], "1");
  EXPECT_EQ(v["createVia"], "PyModule_Create2");
  EXPECT_EQ(v["createApi"], "3");
  EXPECT_EQ(v["def.refcnt"], "1");
  EXPECT_EQ(v["def.otherFieldsZero"], "1");
  EXPECT_EQ(v["def.name"], "pyvaskor");
  EXPECT_EQ(v["def.doc"], "");
  EXPECT_EQ(v["def.size"], "-1");
  EXPECT_EQ(v["methods.allVarargsKw"], "1");
  EXPECT_EQ(v["init4Calls"], "0");
  EXPECT_EQ(v["newExceptionName"], "nimpy.NimPyException");
  EXPECT_EQ(v["newExceptionBaseNull"], "1");
  EXPECT_EQ(v["newExceptionDictNull"], "1");
  EXPECT_EQ(v["addObjectName"], "NimPyException");
  EXPECT_EQ(v["addObjectToModule"], "1");
  EXPECT_EQ(v["addObjectValueIsClass"], "1");
  EXPECT_EQ(v["version"], VASKOR_VERSION);
  EXPECT_EQ(v["versionToModule"], "1");
  // The frame failures: pyvaskor_errors asked for, and where the host has
  // none, classes of the same names made in its place.
  EXPECT_EQ(v["errorsImported"], "pyvaskor_errors");
  EXPECT_EQ(v["frameClasses"], "pyvaskor.FrameError,pyvaskor.FrameVersionError");
  EXPECT_EQ(v["frameBasesAreValueErrorAndFrameError"], "1");
  EXPECT_EQ(v["frameAdds"], "FrameError,FrameVersionError");
  EXPECT_EQ(v["frameAddsAreTheClasses"], "1");
  EXPECT_EQ(v["errorSet"], "0");
}

TEST(FakeHostImport, SecondPython3InitReusesTableAndArray) {
  ChildResult r = runHost("fakehost_exe_py3", "3", 2);
  ASSERT_TRUE(r.exited && r.status == 0) << r.err;
  auto v = r.values();
  EXPECT_EQ(v["result1"], "module");
  EXPECT_EQ(v["result2"], "module");
  EXPECT_EQ(v["versionCalls"], "1");
  EXPECT_EQ(v["createCalls"], "2");
  EXPECT_EQ(v["sameMethodArray"], "1");
  EXPECT_EQ(v["secondTerminator"], "1");
  EXPECT_EQ(v["newExceptionCalls"], "2");
  EXPECT_EQ(v["addObjectCalls"], "2");
}

TEST(FakeHostImport, Python2EntryUsesInitModule4_64) {
  ChildResult r = runHost("fakehost_exe_py2", "2", 2);
  ASSERT_TRUE(r.exited && r.status == 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto v = r.values();
  EXPECT_EQ(v["versionCalls"], "1");
  EXPECT_EQ(v["createCalls"], "0");
  EXPECT_EQ(v["init4Calls"], "2");
  EXPECT_EQ(v["init4Via"], "Py_InitModule4_64");
  EXPECT_EQ(v["init4Name"], "pyvaskor");
  EXPECT_EQ(v["init4Doc"], "");
  EXPECT_EQ(v["init4SelfNull"], "1");
  EXPECT_EQ(v["init4Api"], "1013");
  EXPECT_EQ(v["methods.allVarargsKw"], "1");
  EXPECT_EQ(v["sameMethodArray"], "1");
  EXPECT_EQ(v["secondTerminator"], "1");
  EXPECT_EQ(v["newExceptionName"], "nimpy.NimPyException");
  EXPECT_EQ(v["addObjectToModule"], "1");
  EXPECT_EQ(v["version"], VASKOR_VERSION);
  EXPECT_EQ(v["versionToModule"], "1");
}

TEST(FakeHostImport, HostCreationFailureMakesPyInitReturnNull) {
  ChildResult r = runHost("fakehost_exe_py3", "3", 1, "create-null");
  ASSERT_TRUE(r.exited && r.status == 0) << r.err;
  auto v = r.values();
  EXPECT_EQ(v["result1"], "null");
  EXPECT_EQ(v["errorSet"], "1");
  EXPECT_EQ(v["newExceptionCalls"], "0");
  EXPECT_EQ(v["addObjectCalls"], "0");
}

TEST(FakeHostImport, ExceptionClassFailureMakesPyInitReturnNull) {
  ChildResult r = runHost("fakehost_exe_py3", "3", 1, "newexc-null");
  ASSERT_TRUE(r.exited && r.status == 0) << r.err;
  auto v = r.values();
  EXPECT_EQ(v["result1"], "null");
  EXPECT_EQ(v["addObjectCalls"], "0");
  EXPECT_EQ(v["moduleDeallocs"], "1");
}

}  // namespace
