// The host's version: Py_GetVersion's text scanned as "%d.%d.%d".
#include <gtest/gtest.h>

#include <memory>

#include "fake_hosts.hpp"
#include "lookup_recorder.hpp"
#include "pybinding/py_lib.hpp"
#include "vaskor/failure.hpp"

using namespace pybinding;

namespace {

class VersionTest : public BindingTest {};

std::string versionFailure(void* host) {
  try {
    getPyVersion(host);
  } catch (const vaskor::ValueError& e) {
    EXPECT_STREQ(e.name, "ValueError");
    return e.msg;
  }
  return "no failure";
}

TEST_F(VersionTest, FullAndPartialVersionTexts) {
  PyVersion v = getPyVersion(openFakeHost("fakehost_py3"));  // "3.11.1 (main, ..."
  EXPECT_EQ(v.major, 3);
  EXPECT_EQ(v.minor, 11);
  EXPECT_EQ(v.micro, 1);

  v = getPyVersion(openFakeHost("fakehost_v312"));  // "3.12"
  EXPECT_EQ(v.major, 3);
  EXPECT_EQ(v.minor, 12);
  EXPECT_EQ(v.micro, 0);

  v = getPyVersion(openFakeHost("fakehost_py2"));
  EXPECT_EQ(v.major, 2);
  EXPECT_EQ(v.minor, 7);
  EXPECT_EQ(v.micro, 18);
}

TEST_F(VersionTest, TheLoadedTableCarriesTheVersion) {
  void* host = openFakeHost("fakehost_v312");
  // Only the version is there; the load stops at the first entry.
  try {
    loadPyLibFromModule(host);
    FAIL() << "load succeeded without entries";
  } catch (const vaskor::ValueError& e) {
    EXPECT_EQ(e.msg, "Symbol not loaded: _Py_BuildValue_SizeT");
  }
  std::unique_ptr<PyLib> lib(loadPyLibFromModule(openFakeHost("fakehost_py3")));
  EXPECT_EQ(lib->pythonVersion.major, 3);
  EXPECT_EQ(lib->pythonVersion.minor, 11);
  EXPECT_EQ(lib->pythonVersion.micro, 1);
}

TEST_F(VersionTest, TextStartingWithALetterFails) {
  void* host = openFakeHost("fakehost_letter");
  EXPECT_EQ(versionFailure(host), "Could not determine Python version: Python 3.12.1");
  EXPECT_EQ(recordOf(host).versionCalls, 1);
}

TEST_F(VersionTest, EmptyTextFails) {
  EXPECT_EQ(versionFailure(openFakeHost("fakehost_empty_version")), "Could not determine Python version: ");
}

TEST_F(VersionTest, MissingVersionFunctionFails) {
  void* host = openFakeHost("fakehost_py3");
  lookups::hide({"Py_GetVersion"});
  EXPECT_EQ(versionFailure(host), "Could not determine Python version");
  // Nothing is looked up once the version is missing, but PyPy's name for it.
  lookups::startRecording();
  EXPECT_THROW(loadPyLibFromModule(host), vaskor::ValueError);
  EXPECT_EQ(lookups::stopRecording(), (std::vector<std::string>{"Py_GetVersion", "PyPy_GetVersion"}));
  EXPECT_EQ(pyLib, nullptr);
}

}  // namespace
