// The base of our dialogs: a dialog window made from a template resource,
// modeless (Create) or modal (DoModal), whose messages go to the object's
// message map.
//
// The window finds its object through the thread's "being created" slot,
// claimed by the first message the new dialog receives, so the creation
// parameter stays free for the caller (the program passes 0). The object must
// outlive its window; the window forgets the object on WM_NCDESTROY.
#pragma once

#include <windows.h>

namespace platform::win32 {

class CDialogImpl {
 public:
  explicit CDialogImpl(int templateId) : m_nTemplateId(templateId) {}
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;
  virtual ~CDialogImpl();

  // Modeless. WM_INITDIALOG runs inside; null when no window results (also
  // when the initialisation destroyed it).
  HWND Create(HWND parent, LPARAM param = 0);
  // Modal; returns the EndDialog result, or -1 when no dialog could be made.
  INT_PTR DoModal(HWND parent, LPARAM param = 0);

  HWND m_hWnd = nullptr;

 protected:
  // The message map. True when handled, with the result in `result`.
  virtual bool ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  int m_nTemplateId;
};

}  // namespace platform::win32
