// What the first init call makes of a host: the offsets it keeps after
// reading back a tuple and a list the host made, and the hosts it refuses
// with an ImportError instead of creating a module.
#include <gtest/gtest.h>

#include <string>

#include "lookup_recorder.hpp"
#include "module_test_support.hpp"

using namespace pybinding;

namespace {

class HostProfileTest : public ModuleTest {};

TEST_F(HostProfileTest, KeepsOnlyTheOffsetsThatReadBack) {
  // The fakes lay tuples out without the cached hash 3.14 put before the
  // items, so on the "3.14" host the tuple offset does not read back and
  // tuples go through the API; the module is created all the same.
  struct Case {
    const char* host;
    HostKind kind;
    size_t refOffset, typeOffset, tupleItems, listItems;
  } cases[] = {
      {"fakehost_py3", HostKind::Release, 0, 8, 24, 24},
      {"fakehost_py314", HostKind::Release, 0, 8, 0, 24},
      {"fakehost_all_creation", HostKind::TraceRefs, 16, 24, 40, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host);
    installHost(c.host);
    // A host with link words creates modules through its renamed function.
    if (c.kind == HostKind::TraceRefs) lookups::hide({"PyModule_Create2"});
    EXPECT_EQ(hostProfile.kind, c.kind);
    ASSERT_NE(initModule3(desc), nullptr);
    EXPECT_EQ(hostProfile.refOffset, c.refOffset);
    EXPECT_EQ(hostProfile.typeOffset, c.typeOffset);
    EXPECT_EQ(hostProfile.tupleItems, c.tupleItems);
    EXPECT_EQ(hostProfile.listItems, c.listItems);
    EXPECT_EQ(pyObjectStartOffset, c.refOffset);
    hostProfile = HostProfile{};
    lookups::unhideAll();
  }
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
