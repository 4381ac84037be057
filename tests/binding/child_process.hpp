// Runs a program to completion with its output captured.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ChildResult {
  bool exited = false;  // false: ended by a signal
  int status = -1;      // exit status, or the signal number
  std::string out;
  std::string err;

  // The key=value lines of `out`.
  std::map<std::string, std::string> values() const;
};

ChildResult runChild(const std::vector<std::string>& argv);
