#include "lookup_recorder.hpp"

#include <utility>

extern "C" void* __real_dlsym(void* handle, const char* name);

namespace lookups {
namespace {

bool recording = false;
std::vector<std::string> recorded;
std::set<std::string> hidden;

}  // namespace

void startRecording() {
  recorded.clear();
  recording = true;
}

std::vector<std::string> stopRecording() {
  recording = false;
  return std::exchange(recorded, {});
}

void hide(std::set<std::string> names) { hidden = std::move(names); }
void unhideAll() { hidden.clear(); }

}  // namespace lookups

extern "C" void* __wrap_dlsym(void* handle, const char* name) {
  using namespace lookups;
  if (recording) recorded.emplace_back(name);
  if (hidden.count(name) != 0) return nullptr;
  return __real_dlsym(handle, name);
}
