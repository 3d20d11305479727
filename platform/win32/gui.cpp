// The window system on Win32: dialogs from the program's resources, the
// thread's message loop with the main dialog as its filter and idle handler,
// and the system's own message boxes and modal loop.
#include "platform/gui.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>

#include "platform/win32/app_module.h"
#include "platform/win32/center_window.h"
#include "platform/win32/dialog_impl.h"
#include "platform/win32/message_loop.h"
#include "res/resource.h"

namespace platform {

namespace {

using win32::CAppModule;
using win32::CDialogImpl;
using win32::CIdleHandler;
using win32::CMessageFilter;
using win32::CMessageLoop;
using win32::Module;

HWND Hwnd(ControlHandle control) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(control)); }
ControlHandle Control(HWND hwnd) { return static_cast<ControlHandle>(reinterpret_cast<std::intptr_t>(hwnd)); }
WindowHandle Handle(HWND hwnd) { return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(hwnd)); }

// A control by its id. Ids are compared as the 32-bit values the template
// stores, so -1 finds the control stored as 0xFFFFFFFF however the window
// system widened it.
HWND FindControl(HWND dialog, int id) {
  if (dialog == nullptr) return nullptr;
  if (HWND control = ::GetDlgItem(dialog, id)) return control;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    if (static_cast<UINT>(::GetDlgCtrlID(child)) == static_cast<UINT>(id)) return child;
  return nullptr;
}

HICON LoadMainIcon(int cxMetric, int cyMetric) {
  return static_cast<HICON>(::LoadImageW(Module().Instance(), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                         ::GetSystemMetrics(cxMetric), ::GetSystemMetrics(cyMetric),
                                         LR_DEFAULTCOLOR));
}

}  // namespace

namespace {

// The thread's loop; it is also freed when the loop never ran (the dialog
// could not be made).
std::unique_ptr<CMessageLoop>& ThreadLoop() {
  thread_local std::unique_ptr<CMessageLoop> loop;
  return loop;
}

}  // namespace

bool InitWindowSystem() {
  // One loop for the thread, entered into the module's map, where the dialog
  // finds it to register itself.
  if (Module().GetMessageLoop() != nullptr) return true;
  ThreadLoop() = std::make_unique<CMessageLoop>();
  return Module().AddMessageLoop(ThreadLoop().get());
}

int RunMessageLoop() {
  CMessageLoop* loop = Module().GetMessageLoop();
  if (loop == nullptr) return 0;
  const int code = loop->Run();
  Module().RemoveMessageLoop();
  ThreadLoop().reset();
  return code;
}

struct DialogWindow::Impl final : CDialogImpl, CMessageFilter, CIdleHandler {
  Impl(DialogWindow& owner, int templateId, std::function<void(DialogWindow&)> runHint)
      : CDialogImpl(templateId), m_owner(owner), m_runHint(std::move(runHint)) {}
  ~Impl() override {
    // A window still there goes without telling the dialog's logic, which
    // may be gone already.
    m_map = nullptr;
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    if (m_hIconBig != nullptr) ::DestroyIcon(m_hIconBig);
    if (m_hIconSmall != nullptr) ::DestroyIcon(m_hIconSmall);
  }

  bool ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    std::intptr_t r = 0;
    if (!m_map || !m_map(message, wParam, lParam, r)) return false;
    result = r;
    return true;
  }

  // The standard dialog keyboard: Return gives IDOK, Escape IDCANCEL.
  bool PreTranslateMessage(MSG& msg) override {
    return m_hWnd != nullptr && ::IsDialogMessageW(m_hWnd, &msg) != 0;
  }

  bool OnIdle() override { return false; }

  DialogWindow& m_owner;
  std::function<void(DialogWindow&)> m_runHint;
  MessageMap m_map;
  HICON m_hIconBig = nullptr;
  HICON m_hIconSmall = nullptr;
};

DialogWindow::DialogWindow(const DialogTemplate& dialog, std::function<void(DialogWindow&)> runHintDialog)
    : m_impl(std::make_unique<Impl>(*this, dialog.id, std::move(runHintDialog))) {}

DialogWindow::~DialogWindow() = default;

bool DialogWindow::Create(MessageMap map) {
  m_impl->m_map = std::move(map);
  return m_impl->Create(nullptr, 0) != nullptr;
}

void DialogWindow::Show() { ::ShowWindow(m_impl->m_hWnd, Module().ShowCommand()); }

void* DialogWindow::NativeWindow() const { return m_impl->m_hWnd; }

WindowHandle DialogWindow::Window() { return Handle(m_impl->m_hWnd); }

ControlHandle DialogWindow::GetControl(int id) { return Control(FindControl(m_impl->m_hWnd, id)); }

void DialogWindow::CenterWindow() { win32::CenterWindow(m_impl->m_hWnd, nullptr); }

void DialogWindow::SetIcons() {
  const HWND hwnd = m_impl->m_hWnd;
  if (m_impl->m_hIconBig == nullptr) m_impl->m_hIconBig = LoadMainIcon(SM_CXICON, SM_CYICON);
  ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_impl->m_hIconBig));
  if (m_impl->m_hIconSmall == nullptr) m_impl->m_hIconSmall = LoadMainIcon(SM_CXSMICON, SM_CYSMICON);
  ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_impl->m_hIconSmall));
}

void DialogWindow::AddToMessageLoop() {
  if (CMessageLoop* loop = Module().GetMessageLoop()) {
    loop->AddMessageFilter(m_impl.get());
    loop->AddIdleHandler(m_impl.get());
  }
}

void DialogWindow::RemoveFromMessageLoop() {
  if (CMessageLoop* loop = Module().GetMessageLoop()) {
    loop->RemoveMessageFilter(m_impl.get());
    loop->RemoveIdleHandler(m_impl.get());
  }
}

int DialogWindow::ShowMessage(const std::wstring& text, const std::wstring& caption, MessageButtons buttons) {
  return ::MessageBoxW(m_impl->m_hWnd, text.c_str(), caption.c_str(),
                       buttons == MessageButtons::YesNo ? MB_YESNO : MB_OK);
}

void DialogWindow::ShowControl(ControlHandle control, bool visible) {
  if (control != ControlHandle::None) ::ShowWindow(Hwnd(control), visible ? SW_SHOW : SW_HIDE);
}

void DialogWindow::SetControlText(ControlHandle control, const std::wstring& text) {
  if (control != ControlHandle::None) ::SetWindowTextW(Hwnd(control), text.c_str());
}

void DialogWindow::SetProgressRange(ControlHandle bar, int low, int high) {
  if (bar != ControlHandle::None) ::SendMessageW(Hwnd(bar), PBM_SETRANGE, 0, MAKELPARAM(low, high));
}

void DialogWindow::SetProgressPos(ControlHandle bar, int pos) {
  if (bar != ControlHandle::None) ::SendMessageW(Hwnd(bar), PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void DialogWindow::StartTimer(std::uintptr_t id, unsigned milliseconds) {
  ::SetTimer(m_impl->m_hWnd, id, milliseconds, nullptr);
}

void DialogWindow::StopTimer(std::uintptr_t id) {
  const HWND hwnd = m_impl->m_hWnd;
  ::KillTimer(hwnd, id);
  // An event of the timer already taken into the queue goes as well.
  MSG msg;
  while (::PeekMessageW(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    if (msg.wParam != id) ::DispatchMessageW(&msg);
  }
}

void DialogWindow::PostToSelf(unsigned message) { ::PostMessageW(m_impl->m_hWnd, message, 0, 0); }

void DialogWindow::OpenProgram(const std::wstring& file) {
  ::ShellExecuteW(m_impl->m_hWnd, L"open", file.c_str(), nullptr, nullptr, SW_SHOW);
}

void DialogWindow::RunHintDialog() {
  if (m_impl->m_runHint) m_impl->m_runHint(*this);
}

void DialogWindow::DestroyDialog() {
  if (m_impl->m_hWnd != nullptr) ::DestroyWindow(m_impl->m_hWnd);
}

void DialogWindow::QuitLoop(int code) { ::PostQuitMessage(code); }

struct ModalDialog::Impl final : CDialogImpl {
  Impl(DialogWindow& owner, int templateId) : CDialogImpl(templateId), m_owner(owner) {}

  bool ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    std::intptr_t r = 0;
    if (!m_map || !m_map(message, wParam, lParam, r)) return false;
    result = r;
    return true;
  }

  HWND OwnerWindow() const { return static_cast<HWND>(m_owner.NativeWindow()); }

  DialogWindow& m_owner;
  MessageMap m_map;
};

ModalDialog::ModalDialog(DialogWindow& owner, const DialogTemplate& dialog)
    : m_impl(std::make_unique<Impl>(owner, dialog.id)) {}

ModalDialog::~ModalDialog() = default;

int ModalDialog::Run(MessageMap map) {
  m_impl->m_map = std::move(map);
  return static_cast<int>(m_impl->DoModal(m_impl->OwnerWindow(), 0));
}

WindowHandle ModalDialog::Owner() { return Handle(m_impl->OwnerWindow()); }

ControlHandle ModalDialog::GetControl(int id) { return Control(FindControl(m_impl->m_hWnd, id)); }

void ModalDialog::CenterWindow() { win32::CenterWindow(m_impl->m_hWnd, m_impl->OwnerWindow()); }

void ModalDialog::SetControlText(ControlHandle control, const std::wstring& text) {
  if (control != ControlHandle::None) ::SetWindowTextW(Hwnd(control), text.c_str());
}

void ModalDialog::EndDialog(int result) {
  if (m_impl->m_hWnd != nullptr) ::EndDialog(m_impl->m_hWnd, result);
}

}  // namespace platform
