// A WindowHandle is the window's HWND. SendMessageW already has the contract's
// semantics: it runs the handler at once on the owning thread, waits for the
// owning thread otherwise (which handles sends inside GetMessageW, PeekMessageW
// and every modal loop), and returns 0 for a window that is gone or that is
// destroyed while the send waits.
#include "platform/window.h"

#include <windows.h>

namespace platform {

std::intptr_t SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  const HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
  if (hwnd == nullptr || !::IsWindow(hwnd)) return 0;
  return ::SendMessageW(hwnd, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

}  // namespace platform
