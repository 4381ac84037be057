// incRef/decRef where the host profile puts the count, and the release of
// the last reference through the type's tp_dealloc.
#include <gtest/gtest.h>


#include "fake_host_record.h"
#include "fake_hosts.hpp"
#include "pybinding/py_lib.hpp"

using namespace pybinding;

namespace {

int deallocCalls = 0;
FakeObject* deallocArg = nullptr;

void countingDealloc(FakeObject* o) {
  ++deallocCalls;
  deallocArg = o;
}

class RefCountTest : public BindingTest {
 protected:
  void SetUp() override {
    BindingTest::SetUp();
    table.PyDealloc = deallocPythonObj;
    pyLib = &table;
    type.dealloc = countingDealloc;
    deallocCalls = 0;
    deallocArg = nullptr;
  }

  PyLib table{};
  FakeType type{};
};

PyObject* py(void* o) { return static_cast<PyObject*>(o); }

TEST_F(RefCountTest, LastReferenceDeallocatesOnce) {
  FakeObject obj{1, &type};
  decRef(py(&obj));
  EXPECT_EQ(obj.refcnt, 0);
  EXPECT_EQ(deallocCalls, 1);
  EXPECT_EQ(deallocArg, &obj);
}

TEST_F(RefCountTest, OtherReferencesOnlyDecrement) {
  FakeObject obj{2, &type};
  decRef(py(&obj));
  EXPECT_EQ(obj.refcnt, 1);
  EXPECT_EQ(deallocCalls, 0);

  incRef(py(&obj));
  incRef(py(&obj));
  EXPECT_EQ(obj.refcnt, 3);
  EXPECT_EQ(deallocCalls, 0);
}

TEST_F(RefCountTest, ImmortalObjectsKeepTheirCount) {
  // Counts that hosts 3.12 to 3.14 give immortal objects, and counts that
  // have drifted within the immortal range.
  for (intptr_t count : {intptr_t{0xFFFFFFFF}, intptr_t{0xC0000000}, intptr_t{0x80000000},
                         intptr_t{0x1FFFFFFF0}}) {
    FakeObject obj{count, &type};
    incRef(py(&obj));
    EXPECT_EQ(obj.refcnt, count);
    for (int i = 0; i < 3; ++i) decRef(py(&obj));
    EXPECT_EQ(obj.refcnt, count);
  }
  EXPECT_EQ(deallocCalls, 0);

  // Just below the immortal range an object is counted as usual.
  FakeObject large{0x7FFFFFFF, &type};
  decRef(py(&large));
  EXPECT_EQ(large.refcnt, 0x7FFFFFFE);

  // PyPy counts its own objects from near 2^61, all the way.
  hostProfile.immortalCounts = false;
  FakeObject pypyOwned{intptr_t{1} << 61 | 0x80000000, &type};
  decRef(py(&pypyOwned));
  EXPECT_EQ(pypyOwned.refcnt, (intptr_t{1} << 61 | 0x80000000) - 1);
}

TEST_F(RefCountTest, CountAndTypeLieWhereTheProfileSays) {
  // Two link words ahead of the count (reference tracing), and PyPy's head:
  // the count first, then a link word, then the type.
  struct Linked {
    void* links[2];
    FakeObject head;
  } linked{{nullptr, nullptr}, {2, &type}};
  struct PyPyHead {
    intptr_t refcnt;
    void* link;
    FakeType* type;
  } pypy{2, nullptr, &type};
  struct Case {
    size_t refOffset, typeOffset;
    void* object;
    intptr_t* count;
  } cases[] = {{16, 24, &linked, &linked.head.refcnt}, {0, 16, &pypy, &pypy.refcnt}};
  for (const Case& c : cases) {
    hostProfile.refOffset = c.refOffset;
    hostProfile.typeOffset = c.typeOffset;
    deallocCalls = 0;
    decRef(py(c.object));
    EXPECT_EQ(*c.count, 1);
    decRef(py(c.object));
    EXPECT_EQ(deallocCalls, 1);
    EXPECT_EQ(static_cast<void*>(deallocArg), c.object);
  }
  EXPECT_EQ(linked.links[0], nullptr);
  EXPECT_EQ(linked.links[1], nullptr);
  EXPECT_EQ(pypy.link, nullptr);
}

// Where the host keeps totals, its own functions take and drop every
// reference; where it has a deallocation entry, that releases.
int hostIncRefs = 0, hostDecRefs = 0, hostDeallocs = 0;
void countIncRef(PyObject*) { ++hostIncRefs; }
void countDecRef(PyObject*) { ++hostDecRefs; }
void countDealloc(PyObject*) { ++hostDeallocs; }

TEST_F(RefCountTest, HostFunctionsWhereTheProfileNamesThem) {
  FakeObject obj{1, &type};
  hostProfile.dealloc = countDealloc;
  decRef(py(&obj));
  EXPECT_EQ(hostDeallocs, 1);
  EXPECT_EQ(deallocCalls, 0);

  obj.refcnt = 5;
  hostProfile.hostIncRef = countIncRef;
  hostProfile.hostDecRef = countDecRef;
  incRef(py(&obj));
  decRef(py(&obj));
  decRef(py(&obj));
  EXPECT_EQ(obj.refcnt, 5);
  EXPECT_EQ(hostIncRefs, 1);
  EXPECT_EQ(hostDecRefs, 2);
}

}  // namespace
