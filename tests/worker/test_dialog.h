// The dialog's side of the worker's messages, for tests: a real message
// window owned by the test thread, which pumps it. Handlers may pump again
// (a nested loop, as a message box runs); each message records the depth of
// the loop that handled it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/posix/message_window.h"

struct Received {
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  int depth;  // 1 = the outermost loop
};

class TestDialog {
 public:
  TestDialog()
      : m_window(std::make_unique<platform::MessageWindow>(
            [this](unsigned m, std::uintptr_t w, std::intptr_t l) {
              received.push_back({m, w, l, m_depth});
              if (onMessage) onMessage(received.back());
              return std::intptr_t{0};
            },
            [this] { Wake(); })) {}

  WindowHandle Handle() const { return m_handle; }

  // Runs a loop until `done` holds or `limit` has passed; the result is `done`.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    ++m_depth;
    bool result = false;
    for (;;) {
      if (m_window) m_window->DispatchPending();
      if ((result = done())) break;
      std::unique_lock lock(m_mutex);
      if (!m_wake.wait_until(lock, deadline, [this] { return m_wakeups > 0; })) {
        lock.unlock();
        result = done();
        break;
      }
      m_wakeups = 0;
    }
    --m_depth;
    return result;
  }
  // Handles whatever arrives for `time`.
  void PumpFor(std::chrono::milliseconds time) {
    PumpUntil([] { return false; }, time);
  }

  // The window goes, as the dialog's does when it closes; later sends to it
  // return at once.
  void Destroy() { m_window.reset(); }

  size_t Count(unsigned message, std::uintptr_t wParam = 0) const {
    size_t n = 0;
    for (const auto& r : received) n += r.message == message && r.wParam == wParam;
    return n;
  }

  std::vector<Received> received;
  std::function<void(const Received&)> onMessage;  // runs inside the handler

 private:
  void Wake() {
    std::lock_guard lock(m_mutex);
    ++m_wakeups;
    m_wake.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_wake;
  int m_wakeups = 0;
  int m_depth = 0;
  std::unique_ptr<platform::MessageWindow> m_window;
  WindowHandle m_handle = m_window ? m_window->Handle() : WindowHandle::None;
};
