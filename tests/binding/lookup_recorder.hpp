// Every dlsym the binding code makes passes through here (the test binary is
// linked with --wrap=dlsym): names can be recorded, and hidden so that a
// fake host seems to lack them.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace lookups {

void startRecording();
// The names looked up since startRecording, in order.
std::vector<std::string> stopRecording();

void hide(std::set<std::string> names);
void unhideAll();

}  // namespace lookups
