// The unhandled-failure stop ends the process, so each case runs in a child
// and the parent checks the child's standard error and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "vaskor/failure.hpp"
#include "vaskor/bpe.hpp"

namespace {

struct ChildResult {
  int status = -1;
  std::string err;
  std::string out;
};

std::string drain(int fd) {
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(fd);
  return text;
}

// Runs `body` in a forked child with its own stdout and stderr pipes; a child
// that returns from `body` exits with 99.
ChildResult inChild(const std::function<void()>& body) {
  int err[2], out[2];
  if (pipe(err) != 0 || pipe(out) != 0) return {};
  // What the parent has buffered would otherwise reach the child's stdout
  // when the stop flushes it (gtest's brief mode flushes nothing per test).
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(err[1], STDERR_FILENO);
    dup2(out[1], STDOUT_FILENO);
    close(err[0]);
    close(out[0]);
    body();
    _exit(99);
  }
  close(err[1]);
  close(out[1]);
  ChildResult r;
  r.out = drain(out[0]);  // the child writes little, so reading in turn is safe
  r.err = drain(err[0]);
  waitpid(pid, &r.status, 0);
  return r;
}

std::string siteLine(const vaskor::Site& s) {
  std::string line = std::string(s.filename) + "(" + std::to_string(s.line) + ")";
  line.append(line.size() < 25 ? 25 - line.size() : 1, ' ');
  return line + s.procname + "\n";
}

void expectExitOne(const ChildResult& r) {
  ASSERT_TRUE(WIFEXITED(r.status));
  EXPECT_EQ(WEXITSTATUS(r.status), 1);
  EXPECT_EQ(r.out, "");
}

TEST(UnhandledStop, WritesTwoLinesAndExitsWithOne) {
  const vaskor::Site site = vaskor::Site::here();
  const ChildResult r = inChild([&] {
    vaskor::outermost([&] {
      vaskor::raise<vaskor::ValueError>("no handler here", site);
      return 0;
    });
  });
  expectExitOne(r);
  EXPECT_EQ(r.err, siteLine(site) + "Error: unhandled exception: no handler here [ValueError]\n");
}

TEST(UnhandledStop, DecoderAssertionReachesTheStop) {
  const ChildResult r = inChild([] {
    vaskor::outermost([] {
      const uint8_t data[] = {1, 2};
      return vaskor::bpe::decode(data, -1).size();
    });
  });
  expectExitOne(r);
  const size_t lineEnd = r.err.find('\n');
  ASSERT_NE(lineEnd, std::string::npos);
  EXPECT_EQ(r.err.rfind("vaskor/bpe.cpp(", 0), 0u) << r.err;
  EXPECT_EQ(r.err.substr(lineEnd + 1),
            "Error: unhandled exception: bpe(76, 18) `item.parseBin(iitem) == rl`  [AssertionDefect]\n");
}

TEST(UnhandledStop, LongMessageIsLeftOutKindStillWritten) {
  const vaskor::Site site = vaskor::Site::here();
  const ChildResult r = inChild([&] {
    vaskor::outermost([&] {
      vaskor::raise<vaskor::OverflowDefect>(std::string(3000, 'x'), site);
      return 0;
    });
  });
  expectExitOne(r);
  EXPECT_EQ(r.err, siteLine(site) + "Error: unhandled exception:  [OverflowDefect]\n");
}

TEST(UnhandledStop, HandledFailureDoesNotStop) {
  const ChildResult r = inChild([] {
    vaskor::outermost([] {
      try {
        vaskor::raise<vaskor::ValueError>("handled");
      } catch (const vaskor::CatchableError&) {
      }
      return 0;
    });
  });
  ASSERT_TRUE(WIFEXITED(r.status));
  EXPECT_EQ(WEXITSTATUS(r.status), 99);
  EXPECT_EQ(r.err, "");
}

TEST(UnhandledStop, OutOfMemoryStop) {
  const ChildResult r = inChild([] { vaskor::outermost([]() -> int { throw std::bad_alloc(); }); });
  expectExitOne(r);
  EXPECT_EQ(r.err, "out of memory\n");
}

}  // namespace
