// The thread base on the real thread service.
#include "worker/term_thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "thread_probe.h"

namespace {

using namespace std::chrono_literals;

// A thread body that runs until the test lets it end.
class Gate : public TermThread {
 public:
  ~Gate() override {
    Open();
    Join();
  }
  std::uint32_t Run() override {
    ++runs;
    while (!m_open.load()) m_open.wait(false);
    return 7;
  }
  void Open() {
    m_open = true;
    m_open.notify_all();
  }

  std::atomic<int> runs{0};

 private:
  std::atomic<bool> m_open{false};
};

TEST(TermThread, StartsOnceAndJoinReturnsTheExitCode) {
  Gate t;
  ASSERT_TRUE(t.Start(5));
  const std::uint32_t id = t.ThreadId();
  EXPECT_TRUE(ThreadExists(id)) << "the id is the kernel's id of the thread";
  EXPECT_TRUE(t.Start(6));
  EXPECT_EQ(t.ThreadId(), id);
  t.Open();
  EXPECT_EQ(t.Join(), 7u);
  EXPECT_EQ(t.runs.load(), 1);
  EXPECT_FALSE(t.IsRunning());
  EXPECT_FALSE(ThreadExists(id));
  EXPECT_EQ(t.Join(), 0u) << "already released";
}

TEST(TermThread, JoinWithoutStartReturnsZero) {
  Gate t;
  EXPECT_EQ(t.Join(), 0u);
  EXPECT_FALSE(t.IsRunning());
}

TEST(TermThread, DetachBeforeStartLetsTheThreadRunUnobserved) {
  Gate t;
  t.Detach();
  ASSERT_TRUE(t.Start(0));
  EXPECT_TRUE(t.IsRunning());
  EXPECT_EQ(t.Join(), 0u) << "nothing to wait for";
  t.Open();
  EXPECT_TRUE(WaitForThreadGone(t.ThreadId(), 60s));
  EXPECT_EQ(t.runs.load(), 1);
}

TEST(TermThread, DetachedThreadKeepsRunning) {
  Gate t;
  ASSERT_TRUE(t.Start(0));
  t.Detach();
  EXPECT_EQ(t.Join(), 0u);
  EXPECT_TRUE(ThreadExists(t.ThreadId()));
  t.Open();
  EXPECT_TRUE(WaitForThreadGone(t.ThreadId(), 60s));
  EXPECT_FALSE(t.IsRunning());
}

}  // namespace
