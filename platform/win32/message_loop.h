// The thread's message loop with its message filters and idle handlers.
//
// Filters see every message the loop takes from the queue, the most recently
// added first, before it is translated and dispatched; one that consumes the
// message ends its way there. Idle handlers run, in the order they were added,
// when the queue has become empty after a message that counts as activity
// (see IsIdleMessage); they run once per such quiet spell, not again until
// the next such message arrives.
//
// Filters and handlers are not owned. They may remove themselves (or others)
// while a message is being offered; an entry removed then is not called again.
#pragma once

#include <windows.h>

#include <vector>

namespace platform::win32 {

class CMessageFilter {
 public:
  virtual ~CMessageFilter() = default;
  // True when the message was handled here and must not be dispatched.
  virtual bool PreTranslateMessage(MSG& msg) = 0;
};

class CIdleHandler {
 public:
  virtual ~CIdleHandler() = default;
  // True when more idle work is wanted; the loop ignores the answer.
  virtual bool OnIdle() = 0;
};

class CMessageLoop {
 public:
  void AddMessageFilter(CMessageFilter* filter);
  void RemoveMessageFilter(CMessageFilter* filter);
  void AddIdleHandler(CIdleHandler* handler);
  void RemoveIdleHandler(CIdleHandler* handler);

  // Runs until WM_QUIT and returns its wParam. A failing GetMessageW (-1) is
  // passed over.
  int Run();

  // Offers `msg` to the filters; true when one consumed it.
  bool PreTranslateMessage(MSG& msg);
  void OnIdle();

  // Whether a message re-enables idle processing: everything but mouse moves,
  // paints and the caret's blink timer, which arrive all the time without
  // anything having happened.
  static bool IsIdleMessage(const MSG& msg);

 private:
  std::vector<CMessageFilter*> m_filters;
  std::vector<CIdleHandler*> m_idleHandlers;
};

}  // namespace platform::win32
