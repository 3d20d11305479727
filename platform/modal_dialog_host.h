// The window-system operations of a modal dialog's logic (the install
// confirmation dialog). The window system creates the dialog over its owner,
// delivers kWmInitDialog and then the dialog's commands (kWmCommand with
// kIdOk from its default button and from Return, kIdCancel from Escape) to the
// logic's message map, all on the owner's thread. While the dialog is open
// its owner takes no input, but sends, posted messages and timer events still
// reach the owner inside the dialog's loop.
#pragma once

#include <string>

#include "platform/dialog_host.h"
#include "platform/window.h"

class ModalDialogHost {
 public:
  virtual ~ModalDialogHost() = default;

  // The owner, as the target of the dialog's messages to it.
  virtual WindowHandle Owner() = 0;
  virtual ControlHandle GetControl(int id) = 0;
  // Centres the dialog over its owner (over the owner's work area when the
  // owner is hidden or minimised), inside that work area.
  virtual void CenterWindow() = 0;
  virtual void SetControlText(ControlHandle control, const std::wstring& text) = 0;
  // Ends the dialog with `result`. The dialog's loop stops before it handles
  // anything else, so a message posted to the owner by the command that
  // ended the dialog is handled only after the dialog is gone.
  virtual void EndDialog(int result) = 0;
};
