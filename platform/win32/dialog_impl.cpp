#include "platform/win32/dialog_impl.h"

#include "platform/win32/app_module.h"

namespace platform::win32 {

namespace {

thread_local CDialogImpl* t_creating = nullptr;

// Messages whose result a dialog procedure returns itself instead of through
// DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
      return true;
    default:
      return false;
  }
}

class CreatingSlot {
 public:
  explicit CreatingSlot(CDialogImpl* dialog) : m_previous(t_creating) { t_creating = dialog; }
  CreatingSlot(const CreatingSlot&) = delete;
  CreatingSlot& operator=(const CreatingSlot&) = delete;
  ~CreatingSlot() { t_creating = m_previous; }

 private:
  CDialogImpl* m_previous;
};

}  // namespace

CDialogImpl::~CDialogImpl() {
  if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

HWND CDialogImpl::Create(HWND parent, LPARAM param) {
  CreatingSlot slot(this);
  const HWND hwnd =
      ::CreateDialogParamW(Module().Instance(), MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc, param);
  return hwnd != nullptr && ::IsWindow(hwnd) ? hwnd : nullptr;
}

INT_PTR CDialogImpl::DoModal(HWND parent, LPARAM param) {
  CreatingSlot slot(this);
  return ::DialogBoxParamW(Module().Instance(), MAKEINTRESOURCEW(m_nTemplateId), parent, DialogProc, param);
}

INT_PTR CALLBACK CDialogImpl::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CDialogImpl*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (self == nullptr) {
    self = t_creating;
    if (self == nullptr) return FALSE;
    t_creating = nullptr;
    self->m_hWnd = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
  }
  LRESULT result = 0;
  const bool handled = self->ProcessWindowMessage(hwnd, message, wParam, lParam, result);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    if (self->m_hWnd == hwnd) self->m_hWnd = nullptr;
  }
  if (!handled) return FALSE;
  if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
  ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace platform::win32
