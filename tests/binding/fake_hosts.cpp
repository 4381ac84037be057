#include "fake_hosts.hpp"

#include <dlfcn.h>

#include "lookup_recorder.hpp"
#include "pybinding/py_lib.hpp"

void* openFakeHost(const std::string& name, bool global) {
  std::string path = std::string(FAKE_HOST_DIR) + "/lib" + name + ".so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | (global ? RTLD_GLOBAL : RTLD_LOCAL));
  if (handle == nullptr) {
    ADD_FAILURE() << "cannot open " << path << ": " << dlerror();
    return nullptr;
  }
  recordOf(handle) = FakeHostRecord{};  // the library stays loaded across tests
  return handle;
}

FakeHostRecord& recordOf(void* host) {
  return *static_cast<FakeHostRecord*>(dlsym(host, "fakeHostRecord"));
}

namespace {

void resetBinding() {
  lookups::stopRecording();
  lookups::unhideAll();
  pybinding::pyLib = nullptr;
  pybinding::hostProfile = pybinding::HostProfile{};
}

}  // namespace

void BindingTest::SetUp() { resetBinding(); }
void BindingTest::TearDown() { resetBinding(); }
