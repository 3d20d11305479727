#include "ui/dlg_hint.h"

#include "res/resource.h"
#include "ui/messages.h"

namespace {

const wchar_t kHintText[] = L"安装更新包需要关闭主进程，请确认关闭主进程！";

}  // namespace

CDlgHint::CDlgHint(ModalDialogHost& host) : m_host(host) {}

bool CDlgHint::ProcessWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t, std::intptr_t& result) {
  result = 0;
  switch (message) {
    case kWmInitDialog:
      result = OnInitDialog();
      return true;
    case kWmCommand: {
      const int id = static_cast<int>(wParam & 0xFFFF);
      if (id != kIdOk && id != kIdCancel) return false;
      OnCloseCmd(id);
      return true;
    }
    default:
      return false;
  }
}

int CDlgHint::OnInitDialog() {
  m_host.CenterWindow();
  if (m_hintText == ControlHandle::None) m_hintText = m_host.GetControl(IDC_HINT_TEXT);
  m_host.SetControlText(m_hintText, kHintText);
  return 1;  // the default button keeps the focus
}

void CDlgHint::OnCloseCmd(int id) {
  // The installation starts once per dialog: a second command arriving while
  // the first one's unpacking (and any failure box) is still running would
  // otherwise unpack and close the main program twice.
  if (m_bClosing) return;
  m_bClosing = true;
  // Sent first, ended second: the dialog stays on screen until the main
  // dialog has unpacked the package and asked for the main program's close.
  platform::SendWindowMessage(m_host.Owner(), WM_START_INSTALL, 0, 0);
  m_host.EndDialog(id);
}
