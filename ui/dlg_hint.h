// CDlgHint: the install confirmation dialog, shown once the package is
// downloaded. It says that the main program must be closed; its only way out,
// OK as well as Cancel, hands control back to the main dialog to install.
#pragma once

#include <cstdint>

#include "platform/modal_dialog_host.h"

class CDlgHint {
 public:
  explicit CDlgHint(ModalDialogHost& host);
  CDlgHint(const CDlgHint&) = delete;
  CDlgHint& operator=(const CDlgHint&) = delete;

  bool ProcessWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

  int OnInitDialog();
  void OnCloseCmd(int id);

 private:
  ModalDialogHost& m_host;
  ControlHandle m_hintText = ControlHandle::None;
  bool m_bClosing = false;
};
