// The POSIX side of WindowHandle: a message target owned by one thread.
//
// The owner creates a MessageWindow with a handler and a wake-up function. A
// send from another thread queues the message, calls the wake-up function (on
// the sender's thread) and blocks; the owner's loop answers the wake-up by
// calling DispatchPending, which runs the queued handlers in order on the owner
// thread and releases their senders. Nested loops may call DispatchPending as
// well, so sends are handled inside modal loops too.
//
// Destroying the MessageWindow (on the owner thread) retires its handle: waiting
// senders are released with 0 and later sends return 0 at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/window.h"

namespace platform {

class MessageWindow {
 public:
  using Handler = std::function<std::intptr_t(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)>;
  using Wakeup = std::function<void()>;

  MessageWindow(Handler handler, Wakeup wakeup);
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;
  ~MessageWindow();

  WindowHandle Handle() const { return m_hWnd; }

  // Owner thread only: handles every send queued so far, oldest first.
  void DispatchPending();
  // The same for the window behind a handle; does nothing when that window is
  // gone or belongs to another thread. For wake-ups that may outlive a window.
  static void DispatchPending(WindowHandle window);

  struct State;

 private:
  std::shared_ptr<State> m_state;
  WindowHandle m_hWnd;
};

}  // namespace platform
