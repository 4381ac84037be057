// incRef/decRef at the object start offset, and the release of the last
// reference through the type's tp_dealloc.
#include <gtest/gtest.h>


#include "fake_hosts.hpp"
#include "pybinding/py_lib.hpp"

using namespace pybinding;

namespace {

int deallocCalls = 0;
PyObject* deallocArg = nullptr;

void countingDealloc(PyObject* o) {
  ++deallocCalls;
  deallocArg = o;
}

class RefCountTest : public BindingTest {
 protected:
  void SetUp() override {
    BindingTest::SetUp();
    table.PyDealloc = deallocPythonObj;
    pyLib = &table;
    type.tp_dealloc = countingDealloc;
    deallocCalls = 0;
    deallocArg = nullptr;
  }

  PyLib table{};
  PyTypeObject type{};
};

TEST_F(RefCountTest, LastReferenceDeallocatesOnce) {
  PyObject obj{1, &type};
  decRef(&obj);
  EXPECT_EQ(obj.ob_refcnt, 0);
  EXPECT_EQ(deallocCalls, 1);
  EXPECT_EQ(deallocArg, &obj);
}

TEST_F(RefCountTest, OtherReferencesOnlyDecrement) {
  PyObject obj{2, &type};
  decRef(&obj);
  EXPECT_EQ(obj.ob_refcnt, 1);
  EXPECT_EQ(deallocCalls, 0);

  incRef(&obj);
  incRef(&obj);
  EXPECT_EQ(obj.ob_refcnt, 3);
  EXPECT_EQ(deallocCalls, 0);
}

TEST_F(RefCountTest, ImmortalObjectsKeepTheirCount) {
  // Counts that hosts 3.12 to 3.14 give immortal objects, and counts that
  // have drifted within the immortal range.
  for (Py_ssize_t count : {Py_ssize_t{0xFFFFFFFF}, Py_ssize_t{0xC0000000}, Py_ssize_t{0x80000000},
                           Py_ssize_t{0x1FFFFFFF0}}) {
    PyObject obj{count, &type};
    incRef(&obj);
    EXPECT_EQ(obj.ob_refcnt, count);
    for (int i = 0; i < 3; ++i) decRef(&obj);
    EXPECT_EQ(obj.ob_refcnt, count);
  }
  EXPECT_EQ(deallocCalls, 0);

  // Just below the immortal range an object is counted as usual.
  PyObject large{0x7FFFFFFF, &type};
  decRef(&large);
  EXPECT_EQ(large.ob_refcnt, 0x7FFFFFFE);
}

TEST_F(RefCountTest, CountAndTypeLieAfterTheStartOffset) {
  // A longer head: two link words ahead of the count.
  struct {
    void* links[2];
    PyObject head;
  } obj{{nullptr, nullptr}, {2, &type}};
  pyObjectStartOffset = 16;
  auto* o = reinterpret_cast<PyObject*>(&obj);
  decRef(o);
  EXPECT_EQ(obj.head.ob_refcnt, 1);
  EXPECT_EQ(obj.links[0], nullptr);
  EXPECT_EQ(obj.links[1], nullptr);
  decRef(o);
  EXPECT_EQ(deallocCalls, 1);
  EXPECT_EQ(deallocArg, o);
}

}  // namespace
