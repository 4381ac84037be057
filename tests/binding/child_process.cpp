#include "child_process.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace {

// Output goes to unlinked temporary files: no pipe to drain while waiting.
int tempFile() {
  char path[] = "/tmp/binding_child_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  unlink(path);
  return fd;
}

std::string readAll(int fd) {
  std::string text;
  char buf[4096];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(fd);
  return text;
}

}  // namespace

std::map<std::string, std::string> ChildResult::values() const {
  std::map<std::string, std::string> kv;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    auto eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

ChildResult runChild(const std::vector<std::string>& argv) {
  int outFd = tempFile();
  int errFd = tempFile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);

  // In a cross build the child is a program of the target: the emulator
  // runs it, as it runs this test.
#ifdef CHILD_EMULATOR
  std::vector<std::string> command = {CHILD_EMULATOR};
#else
  std::vector<std::string> command;
#endif
  command.insert(command.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (const std::string& a : command) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // The fake hosts end through exit paths of their own; the leak checker's
  // exit scan adds nothing there and has crashed its tracer under load.
  std::vector<std::string> envStore;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "ASAN_OPTIONS=", 13) != 0) envStore.emplace_back(*e);
  }
  const char* asan = std::getenv("ASAN_OPTIONS");
  envStore.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") + "detect_leaks=0");
  std::vector<char*> env;
  for (std::string& e : envStore) env.push_back(e.data());
  env.push_back(nullptr);

  pid_t pid;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + command[0]);

  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  ChildResult result;
  result.exited = WIFEXITED(wstatus);
  result.status = result.exited ? WEXITSTATUS(wstatus) : WTERMSIG(wstatus);
  result.out = readAll(outFd);
  result.err = readAll(errFd);
  return result;
}
