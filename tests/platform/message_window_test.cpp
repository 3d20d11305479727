// Sends between threads, handled on the window's own thread.
#include "platform/posix/message_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A minimal loop: the owner waits for wake-ups and dispatches.
struct Loop {
  std::mutex mutex;
  std::condition_variable cv;
  int wakeups = 0;

  void Wake() {
    std::lock_guard lock(mutex);
    ++wakeups;
    cv.notify_all();
  }
  // Waits for the next wake-up, then dispatches.
  void RunOnce(platform::MessageWindow& window) {
    std::unique_lock lock(mutex);
    cv.wait(lock, [&] { return wakeups > 0; });
    --wakeups;
    lock.unlock();
    window.DispatchPending();
  }
};

TEST(MessageWindow, SendWaitsForTheHandlerOnTheOwnerThread) {
  Loop loop;
  const auto owner = std::this_thread::get_id();
  std::vector<unsigned> seen;
  std::thread::id handledOn;
  platform::MessageWindow window(
      [&](unsigned m, std::uintptr_t w, std::intptr_t l) {
        handledOn = std::this_thread::get_id();
        seen.push_back(m);
        return static_cast<std::intptr_t>(w) + l;
      },
      [&] { loop.Wake(); });

  std::intptr_t result = 0;
  std::thread sender([&] { result = platform::SendWindowMessage(window.Handle(), 1025, 40, 2); });
  loop.RunOnce(window);
  sender.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(handledOn, owner);
  EXPECT_EQ(seen, std::vector<unsigned>{1025});
  // On the owner thread a send is a direct call.
  EXPECT_EQ(platform::SendWindowMessage(window.Handle(), 7, 1, 1), 2);
}

TEST(MessageWindow, NestedLoopsHandleLaterSends) {
  Loop loop;
  std::vector<int> order;
  std::unique_ptr<platform::MessageWindow> window;
  std::thread second;
  window = std::make_unique<platform::MessageWindow>(
      [&](unsigned m, std::uintptr_t, std::intptr_t) -> std::intptr_t {
        order.push_back(static_cast<int>(m));
        if (m == 1) {
          // A modal loop inside the first handler: a send from another thread
          // is handled here, before the first handler returns.
          second = std::thread([&] { platform::SendWindowMessage(window->Handle(), 2, 0, 0); });
          loop.RunOnce(*window);
          order.push_back(-1);
        }
        return 0;
      },
      [&] { loop.Wake(); });
  std::thread first([&] { platform::SendWindowMessage(window->Handle(), 1, 0, 0); });
  loop.RunOnce(*window);
  first.join();
  second.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2, -1}));
}

TEST(MessageWindow, SendToAGoneWindowReturnsAtOnce) {
  WindowHandle handle;
  {
    platform::MessageWindow window([](unsigned, std::uintptr_t, std::intptr_t) { return std::intptr_t{5}; }, [] {});
    handle = window.Handle();
  }
  std::intptr_t result = -1;
  std::thread sender([&] { result = platform::SendWindowMessage(handle, 1, 0, 0); });
  sender.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(platform::SendWindowMessage(WindowHandle::None, 1, 0, 0), 0);
}

TEST(MessageWindow, DestroyingTheWindowReleasesAWaitingSender) {
  Loop loop;
  auto window = std::make_unique<platform::MessageWindow>(
      [](unsigned, std::uintptr_t, std::intptr_t) { return std::intptr_t{5}; }, [&] { loop.Wake(); });
  std::intptr_t result = -1;
  std::thread sender([&] { result = platform::SendWindowMessage(window->Handle(), 1, 0, 0); });
  {
    std::unique_lock lock(loop.mutex);
    loop.cv.wait(lock, [&] { return loop.wakeups > 0; });
  }
  window.reset();  // never dispatched
  sender.join();
  EXPECT_EQ(result, 0);
}

}  // namespace
