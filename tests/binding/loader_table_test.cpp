// A successful load: which host name fills each entry, in which order the
// names are looked up, and what the table holds afterwards.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fake_host_record.h"
#include "fake_hosts.hpp"
#include "lookup_recorder.hpp"
#include "pybinding/py_lib.hpp"

using namespace pybinding;

namespace {

using Names = std::vector<std::string>;

Names operator+(Names a, const Names& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The names of the single-name entries from step `from` to step `to`, in
// step order (the table's own list says which step each has).
Names stepRun(int from, int to, bool probes = false) {
  std::vector<const PyLibEntry*> run;
  for (const PyLibEntry& e : pyLibEntries)
    if ((e.need == EntryNeed::Probe) == probes && e.step >= from && e.step <= to &&
        e.need != EntryNeed::Own && e.need != EntryNeed::Never)
      run.push_back(&e);
  std::stable_sort(run.begin(), run.end(), [](auto* a, auto* b) { return a->step < b->step; });
  Names names;
  for (const PyLibEntry* e : run) names.push_back(e->names[0]);
  return names;
}

// The lookup order, step by step; `middle` is the host-dependent run from
// PyBytes_Type to the bytes group, which has alternatives.
Names lookupOrder(const Names& startOffset, const Names& middle) {
  Names head = {"Py_GetVersion"};
  // After the table: the probes, then what tells how the host counts.
  Names profile = {"_Py_MergeZeroLocalRefcount", "PyModule_Create2TraceRefs", "Py_InitModule4TraceRefs_64",
                   "_Py_NegativeRefcount", "Py_IncRef", "Py_DecRef", "_Py_Dealloc"};
  return head + startOffset + stepRun(1, 39) + middle + stepRun(47, 83) + stepRun(0, 1000, true) + profile;
}

const Names kPython3Middle = {
    "PyBytes_Type", "PyUnicode_FromString", "PyType_IsSubtype", "PyComplex_AsCComplex",
    "PyUnicode_CompareWithASCIIString", "PyUnicode_AsUTF8String", "PyBytes_AsStringAndSize",
    "PyBytes_FromStringAndSize"};

const Names kPython2Middle = {
    "PyBytes_Type", "PyString_Type", "PyUnicode_FromString", "PyString_FromString",
    "PyType_IsSubtype", "PyComplex_AsCComplex", "PyUnicode_CompareWithASCIIString",
    "PyString_AsString", "PyUnicode_AsUTF8String", "PyUnicodeUCS4_AsUTF8String",
    "PyBytes_AsStringAndSize", "PyBytes_FromStringAndSize", "PyString_AsStringAndSize",
    "PyString_FromStringAndSize"};

class TableTest : public BindingTest {
 protected:
  std::unique_ptr<PyLib> load(void* host) { return std::unique_ptr<PyLib>(loadPyLibFromModule(host)); }
};

template <class Entry>
void* addr(Entry e) {
  return reinterpret_cast<void*>(e);
}

TEST_F(TableTest, Python3HostFillsEntriesFromTheirFirstNames) {
  void* host = openFakeHost("fakehost_py3");
  lookups::startRecording();
  auto lib = load(host);
  EXPECT_EQ(lookups::stopRecording(), lookupOrder({"PyModule_Create2", "Py_InitModule4_64"}, kPython3Middle));

  EXPECT_EQ(lib->module, host);
  EXPECT_EQ(addr(lib->Py_BuildValue), dlsym(host, "_Py_BuildValue_SizeT"));
  EXPECT_EQ(addr(lib->Py_None), dlsym(host, "_Py_NoneStruct"));
  EXPECT_EQ(addr(lib->PyBytes_Type), dlsym(host, "PyBytes_Type"));
  EXPECT_EQ(addr(lib->PyUnicode_FromString), dlsym(host, "PyUnicode_FromString"));
  EXPECT_EQ(addr(lib->PyUnicode_AsUTF8String), dlsym(host, "PyUnicode_AsUTF8String"));
  EXPECT_EQ(addr(lib->PyUnicode_CompareWithASCIIString), dlsym(host, "PyUnicode_CompareWithASCIIString"));
  EXPECT_EQ(addr(lib->PyBytes_AsStringAndSize), dlsym(host, "PyBytes_AsStringAndSize"));
  EXPECT_EQ(addr(lib->PyBytes_FromStringAndSize), dlsym(host, "PyBytes_FromStringAndSize"));
  EXPECT_EQ(addr(lib->PyComplex_AsCComplex), dlsym(host, "PyComplex_AsCComplex"));
  EXPECT_EQ(addr(lib->PyErr_NewException), dlsym(host, "PyErr_NewException"));
  EXPECT_EQ(addr(lib->PyObject_GetBuffer), dlsym(host, "PyObject_GetBuffer"));
  EXPECT_EQ(addr(lib->PyBuffer_Release), dlsym(host, "PyBuffer_Release"));
  EXPECT_EQ(addr(lib->PyLong_FromLongLong), dlsym(host, "PyLong_FromLongLong"));
  EXPECT_EQ(lib->PyString_AsString, nullptr);
  EXPECT_EQ(lib->PyComplex_RealAsDouble, nullptr);
  EXPECT_EQ(lib->PyComplex_ImagAsDouble, nullptr);

  EXPECT_EQ(lib->PyDealloc, &deallocPythonObj);
  EXPECT_EQ(lib->NimPyException, nullptr);
  EXPECT_EQ(lib->PyExc_BaseException, nullptr);
  // Looked up after the table, so that interpreter exceptions pass a conversion.
  EXPECT_EQ(addr(lib->PyExc_Exception), *static_cast<void**>(dlsym(host, "PyExc_Exception")));
  EXPECT_EQ(hostProfile.refOffset, 0u);
  // Building a table does not install it.
  EXPECT_EQ(pyLib, nullptr);
}

TEST_F(TableTest, Python2HostFallsBackToItsOwnNames) {
  void* host = openFakeHost("fakehost_py2");
  lookups::startRecording();
  auto lib = load(host);
  EXPECT_EQ(lookups::stopRecording(), lookupOrder({"PyModule_Create2"}, kPython2Middle));

  EXPECT_EQ(addr(lib->PyBytes_Type), dlsym(host, "PyString_Type"));
  EXPECT_EQ(addr(lib->PyUnicode_FromString), dlsym(host, "PyString_FromString"));
  EXPECT_EQ(addr(lib->PyUnicode_AsUTF8String), dlsym(host, "PyUnicodeUCS4_AsUTF8String"));
  EXPECT_EQ(addr(lib->PyString_AsString), dlsym(host, "PyString_AsString"));
  EXPECT_EQ(lib->PyUnicode_CompareWithASCIIString, nullptr);
  EXPECT_EQ(addr(lib->PyBytes_AsStringAndSize), dlsym(host, "PyString_AsStringAndSize"));
  EXPECT_EQ(addr(lib->PyBytes_FromStringAndSize), dlsym(host, "PyString_FromStringAndSize"));
  EXPECT_EQ(lib->pythonVersion.major, 2);
  EXPECT_EQ(hostProfile.refOffset, 0u);
}

TEST_F(TableTest, UCS2HostAndComplexPairAlternatives) {
  void* host = openFakeHost("fakehost_py2");
  lookups::hide({"PyUnicodeUCS4_AsUTF8String", "PyComplex_AsCComplex"});
  auto lib = load(host);
  EXPECT_EQ(addr(lib->PyUnicode_AsUTF8String), dlsym(host, "PyUnicodeUCS2_AsUTF8String"));
  EXPECT_EQ(lib->PyComplex_AsCComplex, nullptr);
  EXPECT_EQ(addr(lib->PyComplex_RealAsDouble), dlsym(host, "PyComplex_RealAsDouble"));
  EXPECT_EQ(addr(lib->PyComplex_ImagAsDouble), dlsym(host, "PyComplex_ImagAsDouble"));
}

TEST_F(TableTest, OptionalEntriesMayBeMissing) {
  void* host = openFakeHost("fakehost_py3");
  lookups::hide({"PyObject_GetBuffer", "PyBuffer_Release", "PyLong_FromLongLong"});
  auto lib = load(host);
  EXPECT_EQ(lib->PyObject_GetBuffer, nullptr);
  EXPECT_EQ(lib->PyBuffer_Release, nullptr);
  EXPECT_EQ(lib->PyLong_FromLongLong, nullptr);
  EXPECT_NE(lib->PyIter_Next, nullptr);
}

TEST_F(TableTest, BytesPairChosenOnAsStringAndSizeAlone) {
  void* host = openFakeHost("fakehost_py3");
  lookups::hide({"PyBytes_FromStringAndSize"});
  lookups::startRecording();
  auto lib = load(host);
  Names seen = lookups::stopRecording();
  EXPECT_EQ(addr(lib->PyBytes_AsStringAndSize), dlsym(host, "PyBytes_AsStringAndSize"));
  EXPECT_EQ(lib->PyBytes_FromStringAndSize, nullptr);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), "PyString_FromStringAndSize"), 0);
}

TEST_F(TableTest, ExceptionClassesAreReadOnceAtLoad) {
  void* host = openFakeHost("fakehost_py3");
  auto** typeErrorVar = static_cast<PyObject**>(dlsym(host, "PyExc_TypeError"));
  PyObject* typeError = *typeErrorVar;
  auto lib = load(host);
  EXPECT_EQ(lib->PyExc_TypeError, typeError);
  EXPECT_NE(static_cast<void*>(lib->PyExc_TypeError), static_cast<void*>(typeErrorVar));
  EXPECT_EQ(lib->PyExc_KeyError, *static_cast<PyObject**>(dlsym(host, "PyExc_KeyError")));

  FakeObject other{};
  *typeErrorVar = reinterpret_cast<PyObject*>(&other);
  EXPECT_EQ(lib->PyExc_TypeError, typeError);
  *typeErrorVar = typeError;
}

TEST_F(TableTest, StartOffsetOnlyWhenAllThreeCreationNamesExist) {
  // Neither family exports all three; a host that did would be read as one
  // with the longer object head.
  void* host = openFakeHost("fakehost_all_creation");
  auto lib = load(host);
  EXPECT_EQ(hostProfile.refOffset, 16u);

  // The renamed creation function alone also tells such a host.
  lookups::hide({"Py_InitModule4"});
  lib = load(host);
  EXPECT_EQ(hostProfile.refOffset, 16u);

  lookups::hide({"Py_InitModule4", "PyModule_Create2TraceRefs"});
  lib = load(host);
  EXPECT_EQ(hostProfile.refOffset, 0u);
}

}  // namespace
