// What the first init call makes of a host: the offsets it keeps after
// reading back a tuple and a list the host made, what it may do there, the
// hosts it refuses with an ImportError instead of creating a module, and the
// item sizes of the buffer typecodes it reads.
#include <gtest/gtest.h>

#include <string>

#include "lookup_recorder.hpp"
#include "module_test_support.hpp"
#include "pybinding/int_items.hpp"

using namespace pybinding;

namespace {

class HostProfileTest : public ModuleTest {};

TEST_F(HostProfileTest, KeepsOnlyTheOffsetsThatReadBack) {
  // The fakes lay tuples out without the cached hash 3.14 put before the
  // items, and ints as CPython did before 3.12, so on the "3.14" host
  // neither reads back and both go through the API; a host whose longs
  // have 15-bit digits keeps the API's conversion of longs but still reads
  // its Python 2 ints in place. The module is created all the same.
  struct Case {
    const char* host;
    bool smallDigits;
    HostKind kind;
    size_t refOffset, typeOffset, tupleItems, listItems;
    IntDigits intDigits;
    bool shortInts;
  } cases[] = {
      {"fakehost_py3", false, HostKind::Release, 0, 8, 24, 24, IntDigits::SignedCount, false},
      {"fakehost_py3", true, HostKind::Release, 0, 8, 24, 24, IntDigits::None, false},
      {"fakehost_py314", false, HostKind::Release, 0, 8, 0, 24, IntDigits::None, false},
      {"fakehost_all_creation", false, HostKind::TraceRefs, 16, 24, 40, 40, IntDigits::SignedCount, false},
      {"fakehost_py2", false, HostKind::Release, 0, 8, 24, 24, IntDigits::SignedCount, true},
      {"fakehost_py2", true, HostKind::Release, 0, 8, 24, 24, IntDigits::None, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host) + (c.smallDigits ? " with 15-bit digits" : ""));
    void* host = installHost(c.host);
    recordOf(host).smallDigits = c.smallDigits;
    // A host with link words creates modules through its renamed function.
    if (c.kind == HostKind::TraceRefs) lookups::hide({"PyModule_Create2"});
    EXPECT_EQ(hostProfile.kind, c.kind);
    if (c.shortInts) {
      initModule2(desc);
      EXPECT_EQ(recordOf(host).init4Calls, 1);
    } else {
      ASSERT_NE(initModule3(desc), nullptr);
    }
    EXPECT_EQ(hostProfile.refOffset, c.refOffset);
    EXPECT_EQ(hostProfile.typeOffset, c.typeOffset);
    EXPECT_EQ(hostProfile.tupleItems, c.tupleItems);
    EXPECT_EQ(hostProfile.listItems, c.listItems);
    EXPECT_EQ(hostProfile.intDigits, c.intDigits);
    EXPECT_EQ(hostProfile.shortInts, c.shortInts);
    hostProfile = HostProfile{};
    lookups::unhideAll();
  }
}

TEST_F(HostProfileTest, CapabilitiesFollowTheHostFamilyAndHead) {
  // What the module may do on a host is chosen once, at load; an array's
  // items follow its item count, wherever the head ends, and storage is
  // handed to one only where the host's allocator was found.
  struct Case {
    const char* host;
    bool hideMalloc;
    bool python2;
    size_t arrayItems;
  } cases[] = {
      {"fakehost_py3", false, false, 24},
      {"fakehost_py3", true, false, 0},
      {"fakehost_py2", false, true, 24},
      {"fakehost_all_creation", false, false, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.host) + (c.hideMalloc ? " without PyMem_Malloc" : ""));
    if (c.hideMalloc) lookups::hide({"PyMem_Malloc"});
    installHost(c.host);
    const HostProfile& p = hostProfile;
    EXPECT_EQ(p.arrayItems, c.arrayItems);
    EXPECT_EQ(p.oldBuffers, c.python2);
    EXPECT_EQ(p.bytesAreStr, c.python2);
    EXPECT_EQ(p.int64Typecode, c.python2 ? 'l' : 'q');
    EXPECT_EQ(p.bufferSize, c.python2 ? kBufferSizePython2 : kBufferSizePython3);
    // CPython's exporters hold their buffers and its classes are collected.
    EXPECT_TRUE(p.exportersHoldBuffers);
    EXPECT_TRUE(p.classesCollected);
    EXPECT_TRUE(p.moduleShowsDefDoc);
    lookups::unhideAll();
  }
}

TEST(Typecodes, SizesAreThoseOfTheCTypesTheyName) {
  // Native sizes against the C types; "=" makes 'l' standard's 4 bytes.
  const struct {
    char code;
    size_t size;
    bool integer;
  } codes[] = {{'b', sizeof(signed char), true},  {'B', sizeof(unsigned char), true},
               {'h', sizeof(short), true},        {'H', sizeof(unsigned short), true},
               {'i', sizeof(int), true},          {'I', sizeof(unsigned), true},
               {'l', sizeof(long), true},         {'L', sizeof(unsigned long), true},
               {'q', sizeof(long long), true},    {'Q', sizeof(unsigned long long), true},
               {'c', sizeof(char), false},        {'f', sizeof(float), false},
               {'d', sizeof(double), false},      {'u', sizeof(char32_t), false},
               {'x', 0, false},                   {'?', 0, false},
               {0, 0, false}};
  for (const auto& c : codes) {
    SCOPED_TRACE(std::string(1, c.code));
    EXPECT_EQ(typecodeSize(c.code, false, false), c.size);
    EXPECT_EQ(typecodeSize(c.code, false, true), c.integer ? c.size : 0u);
    const bool standardLong = c.code == 'l' || c.code == 'L';
    EXPECT_EQ(typecodeSize(c.code, true, false), standardLong ? 4u : c.size);
  }
  ItemKind kind;
  EXPECT_TRUE(intItemKind("=l", 4, kind));
  EXPECT_EQ(kind, ItemKind::I32);
  EXPECT_FALSE(intItemKind("l", 4, kind));
  EXPECT_FALSE(intItemKind("d", 8, kind));
}

TEST_F(HostProfileTest, RefusedHostsGetAnImportErrorAndNoModule) {
  struct Case {
    const char* host;
    bool breakTupleHead;
    const char* reason;
  } cases[] = {
      {"fakehost_freethreaded", false, "free-threaded host: free-threaded builds keep split reference counts"},
      {"fakehost_py3", true, "release host: its objects do not have the expected head"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    void* host = installHost(c.host);
    FakeHostRecord& r = recordOf(host);
    r.tupleTypeWrong = c.breakTupleHead;
    EXPECT_EQ(initModule3(desc), nullptr);
    EXPECT_EQ(r.createCalls, 0);
    ASSERT_TRUE(r.errorSet);
    EXPECT_EQ(r.errorType, static_cast<void*>(pyLib->PyExc_ImportError));
    EXPECT_NE(std::string(r.errorMessage).find(c.reason), std::string::npos) << r.errorMessage;
    // A later init call is refused the same way, without checking again.
    r.errorSet = 0;
    EXPECT_EQ(initModule3(desc), nullptr);
    EXPECT_TRUE(r.errorSet);
    hostProfile = HostProfile{};
  }
}

}  // namespace
