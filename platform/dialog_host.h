// The window-system operations through which the update dialog's logic acts.
//
// One DialogHost stands for one dialog window and its controls. The window
// system creates it, creates the dialog logic with it, and delivers the
// dialog's messages to the logic's message map on the dialog's thread. Every
// operation below is called on that thread.
//
// Message boxes and the confirmation dialog are modal: while one is open the
// dialog itself takes no input, but the thread keeps dispatching, so messages
// sent by the worker thread, timer events and posted messages reach the
// dialog's handlers inside them.
#pragma once

#include <cstdint>
#include <string>

#include "platform/window.h"

// A control of the dialog, bound once by id; None when the dialog has no such
// control. Operations on None do nothing.
enum class ControlHandle : std::intptr_t { None = 0 };

enum class MessageButtons { Ok, YesNo };

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // The dialog window, as the target of the worker thread's messages.
  virtual WindowHandle Window() = 0;
  virtual ControlHandle GetControl(int id) = 0;

  // Start-up work: centre the dialog on the work area of its monitor and give
  // it its big and small icons; enter it into the thread's message loop as
  // message filter and idle handler (and take it out again when destroyed).
  virtual void CenterWindow() = 0;
  virtual void SetIcons() = 0;
  virtual void AddToMessageLoop() = 0;
  virtual void RemoveFromMessageLoop() = 0;

  // A modal box owned by the dialog. Returns kIdOk, kIdYes or kIdNo, or 0 when
  // no box could be shown. The first button is the default.
  virtual int ShowMessage(const std::wstring& text, const std::wstring& caption, MessageButtons buttons) = 0;

  virtual void ShowControl(ControlHandle control, bool visible) = 0;
  virtual void SetControlText(ControlHandle control, const std::wstring& text) = 0;
  // The bar keeps `pos` within its range.
  virtual void SetProgressRange(ControlHandle bar, int low, int high) = 0;
  virtual void SetProgressPos(ControlHandle bar, int pos) = 0;

  // A repeating timer whose events arrive as kWmTimer with wParam = id, only
  // when nothing else is queued. Stopping it also drops an event already queued.
  virtual void StartTimer(std::uintptr_t id, unsigned milliseconds) = 0;
  virtual void StopTimer(std::uintptr_t id) = 0;

  // Queues `message` (wParam 0, lParam 0) for the dialog; it is handled after
  // the current handler, and any box that handler shows, have returned.
  // kWmClose is turned into the command kIdCancel.
  virtual void PostToSelf(unsigned message) = 0;

  // Opens a program file (relative to the current directory); result ignored.
  virtual void OpenProgram(const std::wstring& file) = 0;

  // Shows the install confirmation dialog modally over the dialog and returns
  // when it has ended.
  virtual void RunHintDialog() = 0;

  // Destroys the dialog window; its kWmDestroy handler runs before this returns.
  virtual void DestroyDialog() = 0;
  // Ends the message loop with `code`, which becomes the process's exit code.
  virtual void QuitLoop(int code) = 0;
};
