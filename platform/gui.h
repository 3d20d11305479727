// The window system of the updater's dialogs: start-up, the thread's message
// loop, the modeless main dialog and modal dialogs built from templates.
//
// Call order: InitWindowSystem once; create a DialogWindow, Create it (its
// kWmInitDialog runs inside Create), Show it, then RunMessageLoop until a
// dialog calls QuitLoop. Everything here runs on the thread that called
// InitWindowSystem; only platform::SendWindowMessage (platform/window.h) to a
// dialog's Window() may come from another thread.
//
// Loops. RunMessageLoop is the outermost loop; every message box and modal
// dialog runs a nested loop in which the worker's sends, posted messages and
// timer events are still handled. A message posted from inside a nested loop
// is handled in that loop or an outer one; a message posted by a handler is
// never handled by a loop that the same handler starts afterwards, so it runs
// after that handler and any box it shows have returned. A quit request ends
// every nested loop and then the outer one.
//
// Fonts. Template faces the machine lacks ("宋体", "MS Shell Dlg") are
// replaced by the installed CJK face; dialog units are measured on the face
// actually used.
#pragma once

#include <functional>
#include <memory>

#include "platform/dialog_host.h"
#include "platform/dialog_template.h"
#include "platform/modal_dialog_host.h"

namespace platform {

// A dialog's message map: true when it handled the message, with the
// handler's result in the last argument.
using MessageMap = std::function<bool(unsigned, std::uintptr_t, std::intptr_t, std::intptr_t&)>;

// Connects to the display. False when there is none; then no window can be
// made and nothing else here may be called.
bool InitWindowSystem();

// Runs the outermost loop until QuitLoop; returns QuitLoop's code.
int RunMessageLoop();

// The modeless main dialog. Its DialogHost operations are the window system
// side of the dialog's logic. kWmClose that the map leaves unhandled becomes
// the command kIdCancel; Return gives kIdOk and Escape kIdCancel while the
// dialog is registered with the loop (AddToMessageLoop) and no box or modal
// dialog is open over it.
class DialogWindow final : public DialogHost {
 public:
  // `runHintDialog` shows the install confirmation dialog over this window
  // (with ModalDialog) and returns when it has ended.
  DialogWindow(const DialogTemplate& dialog, std::function<void(DialogWindow&)> runHintDialog);
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;
  ~DialogWindow() override;

  // Builds the window, hidden, and delivers kWmInitDialog to `map`. False
  // when no window results: it could not be built, or its initialisation
  // destroyed it.
  bool Create(MessageMap map);
  // Shows the window for the first time.
  void Show();

  WindowHandle Window() override;
  ControlHandle GetControl(int id) override;
  void CenterWindow() override;
  void SetIcons() override;
  void AddToMessageLoop() override;
  void RemoveFromMessageLoop() override;
  int ShowMessage(const std::wstring& text, const std::wstring& caption, MessageButtons buttons) override;
  void ShowControl(ControlHandle control, bool visible) override;
  void SetControlText(ControlHandle control, const std::wstring& text) override;
  void SetProgressRange(ControlHandle bar, int low, int high) override;
  void SetProgressPos(ControlHandle bar, int pos) override;
  void StartTimer(std::uintptr_t id, unsigned milliseconds) override;
  void StopTimer(std::uintptr_t id) override;
  void PostToSelf(unsigned message) override;
  void OpenProgram(const std::wstring& file) override;
  void RunHintDialog() override;
  void DestroyDialog() override;
  void QuitLoop(int code) override;

  struct Impl;

 private:
  friend class ModalDialog;
  // The toolkit's window while it exists, for dialogs and boxes over it.
  void* NativeWindow() const;
  std::unique_ptr<Impl> m_impl;
};

// A modal dialog over a DialogWindow, for the length of Run.
class ModalDialog final : public ModalDialogHost {
 public:
  ModalDialog(DialogWindow& owner, const DialogTemplate& dialog);
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;
  ~ModalDialog() override;

  // Builds the dialog, delivers kWmInitDialog, shows it and runs its loop
  // until EndDialog, the owner's destruction or a quit request. Returns the
  // EndDialog result, or -1 when it ended any other way or could not be shown.
  int Run(MessageMap map);

  WindowHandle Owner() override;
  ControlHandle GetControl(int id) override;
  void CenterWindow() override;
  void SetControlText(ControlHandle control, const std::wstring& text) override;
  void EndDialog(int result) override;

  struct Impl;

 private:
  std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
