// A required entry missing under every name stops the load at once with
// "Symbol not loaded: " and the last name tried.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fake_hosts.hpp"
#include "lookup_recorder.hpp"
#include "pybinding/py_lib.hpp"
#include "vaskor/failure.hpp"

using namespace pybinding;

namespace {

struct MissingCase {
  const char* host;
  std::set<std::string> missing;
  const char* reported;
};

void PrintTo(const MissingCase& c, std::ostream* os) { *os << c.host << " without " << c.reported; }

class MissingNameTest : public BindingTest, public ::testing::WithParamInterface<MissingCase> {};

TEST_P(MissingNameTest, ReportsTheLastNameTriedAndLooksUpNothingAfter) {
  const MissingCase& c = GetParam();
  void* host = openFakeHost(c.host);
  lookups::hide(c.missing);
  lookups::startRecording();
  try {
    delete loadPyLibFromModule(host);
    ADD_FAILURE() << "load succeeded";
  } catch (const vaskor::ValueError& e) {
    EXPECT_EQ(e.msg, std::string("Symbol not loaded: ") + c.reported);
    EXPECT_STREQ(e.name, "ValueError");
    ASSERT_EQ(e.trace.size(), 1u);
  }
  auto seen = lookups::stopRecording();
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), c.reported);
}

INSTANTIATE_TEST_SUITE_P(
    Loader, MissingNameTest,
    ::testing::Values(
        MissingCase{"fakehost_py3", {"_Py_BuildValue_SizeT"}, "_Py_BuildValue_SizeT"},
        MissingCase{"fakehost_py3", {"PySuper_Type"}, "PySuper_Type"},
        MissingCase{"fakehost_py3", {"PyExc_KeyError"}, "PyExc_KeyError"},
        // The first missing in lookup order wins, not in declared order.
        MissingCase{"fakehost_py3", {"PyErr_NewException", "PyExc_TypeError"}, "PyExc_TypeError"},
        MissingCase{"fakehost_py3", {"PyErr_NewException", "PyExc_ArithmeticError"}, "PyErr_NewException"},
        MissingCase{"fakehost_py3", {"PyBytes_Type", "PySuper_Type"}, "PySuper_Type"},
        MissingCase{"fakehost_py3", {"PyBytes_Type", "PyDict_New"}, "PyString_Type"},
        MissingCase{"fakehost_py3", {"PyType_IsSubtype", "PyUnicode_FromString"}, "PyString_FromString"},
        MissingCase{"fakehost_py3", {"PyComplex_AsCComplex", "PyComplex_RealAsDouble"}, "PyComplex_RealAsDouble"},
        MissingCase{"fakehost_py3", {"PyComplex_AsCComplex", "PyComplex_ImagAsDouble"}, "PyComplex_ImagAsDouble"},
        MissingCase{"fakehost_py3", {"PyUnicode_CompareWithASCIIString"}, "PyString_AsString"},
        MissingCase{"fakehost_py3", {"PyUnicode_AsUTF8String"}, "PyUnicodeUCS2_AsUTF8String"},
        MissingCase{"fakehost_py2", {"PyUnicodeUCS4_AsUTF8String", "PyUnicodeUCS2_AsUTF8String"},
                    "PyUnicodeUCS2_AsUTF8String"},
        MissingCase{"fakehost_py3", {"PyBytes_AsStringAndSize"}, "PyString_AsStringAndSize"},
        MissingCase{"fakehost_py2", {"PyString_FromStringAndSize"}, "PyString_FromStringAndSize"},
        MissingCase{"fakehost_py2", {"PyString_AsString", "PyDict_Type"}, "PyString_AsString"}));

}  // namespace
