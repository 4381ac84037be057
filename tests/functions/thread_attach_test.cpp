// The per-call thread attach: one set-up per thread, none for the loading
// thread, and the highest stack address seen as the stack bottom.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

#include "pybinding/process_hooks.hpp"

namespace {

using pybinding::ThreadAttachment;

uintptr_t addr(const void* p) { return reinterpret_cast<uintptr_t>(p); }
uintptr_t bottom() { return addr(pybinding::threadStackBottom()); }

// Attaches from a frame below the caller's, as a module call would; returns
// the address it attached with.
[[gnu::noinline]] uintptr_t attachFromDeeperFrame() {
  char marker = 0;
  pybinding::attachThread(&marker);
  return addr(&marker);
}

TEST(ThreadAttach, LoadingThreadIsNeverSetUpAgain) {
  std::thread([] {
    char top = 0;
    pybinding::startLoadingThread(&top);
    EXPECT_EQ(pybinding::threadAttachment(), ThreadAttachment::AtLoad);
    EXPECT_FALSE(pybinding::threadRecord.attached);
    uintptr_t deeper = attachFromDeeperFrame();
    EXPECT_LT(deeper, addr(&top));
    EXPECT_TRUE(pybinding::threadRecord.attached);
    EXPECT_EQ(pybinding::threadAttachment(), ThreadAttachment::AtLoad);
    EXPECT_EQ(bottom(), addr(&top));
  }).join();
}

TEST(ThreadAttach, NewThreadIsSetUpOnceByItsFirstCall) {
  std::thread([] {
    EXPECT_EQ(pybinding::threadAttachment(), ThreadAttachment::NotYet);
    EXPECT_EQ(bottom(), 0u);
    uintptr_t first = attachFromDeeperFrame();
    EXPECT_TRUE(pybinding::threadRecord.attached);
    EXPECT_EQ(pybinding::threadAttachment(), ThreadAttachment::OnFirstCall);
    // The set-up's own frame lies below the caller's; the caller's wins.
    EXPECT_EQ(bottom(), first);

    // A call from a shallower frame raises the bottom; a deeper one does not.
    char shallower = 0;
    pybinding::attachThread(&shallower);
    EXPECT_EQ(bottom(), addr(&shallower));
    attachFromDeeperFrame();
    EXPECT_EQ(bottom(), addr(&shallower));
    EXPECT_EQ(pybinding::threadAttachment(), ThreadAttachment::OnFirstCall);
  }).join();
}

TEST(ThreadAttach, StateIsPerThread) {
  std::thread([] { attachFromDeeperFrame(); }).join();
  std::thread([] {
    EXPECT_FALSE(pybinding::threadRecord.attached);
    EXPECT_EQ(pybinding::threadAttachment(), ThreadAttachment::NotYet);
  }).join();
}

}  // namespace
