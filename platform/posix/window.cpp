#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/posix/message_window.h"

namespace platform {

namespace {

struct Request {
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::intptr_t result = 0;
  bool done = false;
};

}  // namespace

struct MessageWindow::State {
  Handler handler;
  Wakeup wakeup;
  std::thread::id owner;
  std::mutex mutex;
  std::condition_variable changed;  // a request was answered or the window closed
  std::deque<std::shared_ptr<Request>> queue;
  bool closed = false;
};

namespace {

// Handles map to live windows only; a handle is never reused. The registry is
// never destroyed, because a detached thread may still send while the process
// exits.
struct Registry {
  std::mutex mutex;
  std::uintptr_t next = 1;
  std::unordered_map<std::uintptr_t, std::weak_ptr<MessageWindow::State>> windows;
};

Registry& Windows() {
  static auto* registry = new Registry;
  return *registry;
}

std::shared_ptr<MessageWindow::State> Lookup(WindowHandle window) {
  Registry& r = Windows();
  std::lock_guard lock(r.mutex);
  const auto it = r.windows.find(static_cast<std::uintptr_t>(window));
  return it == r.windows.end() ? nullptr : it->second.lock();
}

}  // namespace

MessageWindow::MessageWindow(Handler handler, Wakeup wakeup) : m_state(std::make_shared<State>()) {
  m_state->handler = std::move(handler);
  m_state->wakeup = std::move(wakeup);
  m_state->owner = std::this_thread::get_id();
  Registry& r = Windows();
  std::lock_guard lock(r.mutex);
  m_hWnd = static_cast<WindowHandle>(r.next++);
  r.windows.emplace(static_cast<std::uintptr_t>(m_hWnd), m_state);
}

MessageWindow::~MessageWindow() {
  {
    Registry& r = Windows();
    std::lock_guard lock(r.mutex);
    r.windows.erase(static_cast<std::uintptr_t>(m_hWnd));
  }
  std::lock_guard lock(m_state->mutex);
  m_state->closed = true;
  m_state->queue.clear();
  m_state->changed.notify_all();
}

namespace {

// Runs the queued sends in order. The handler may run a nested loop that
// dispatches later sends, or destroy the window; `state` and each request stay
// alive through it.
void Dispatch(const std::shared_ptr<MessageWindow::State>& state) {
  for (;;) {
    std::shared_ptr<Request> request;
    {
      std::lock_guard lock(state->mutex);
      if (state->closed || state->queue.empty()) return;
      request = std::move(state->queue.front());
      state->queue.pop_front();
    }
    const std::intptr_t result = state->handler(request->message, request->wParam, request->lParam);
    std::lock_guard lock(state->mutex);
    request->result = result;
    request->done = true;
    state->changed.notify_all();
  }
}

}  // namespace

void MessageWindow::DispatchPending() { Dispatch(m_state); }

void MessageWindow::DispatchPending(WindowHandle window) {
  const auto state = Lookup(window);
  if (state && state->owner == std::this_thread::get_id()) Dispatch(state);
}

std::intptr_t SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  const auto state = Lookup(window);
  if (!state) return 0;
  if (state->owner == std::this_thread::get_id()) return state->handler(message, wParam, lParam);
  auto request = std::make_shared<Request>(Request{message, wParam, lParam});
  {
    std::lock_guard lock(state->mutex);
    if (state->closed) return 0;
    state->queue.push_back(request);
  }
  state->wakeup();
  std::unique_lock lock(state->mutex);
  state->changed.wait(lock, [&] { return request->done || state->closed; });
  return request->done ? request->result : 0;
}

}  // namespace platform
