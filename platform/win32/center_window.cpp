#include "platform/win32/center_window.h"

#include <optional>

#include "platform/window_layout.h"

namespace platform::win32 {

namespace {

Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

}  // namespace

void CenterWindow(HWND window, HWND centre) {
  if (window == nullptr) return;
  if (centre == nullptr) centre = ::GetWindow(window, GW_OWNER);
  if (centre != nullptr && (!::IsWindowVisible(centre) || ::IsIconic(centre))) centre = nullptr;

  const HMONITOR monitor = ::MonitorFromWindow(centre != nullptr ? centre : window, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) return;

  RECT own;
  if (!::GetWindowRect(window, &own)) return;
  std::optional<Rect> target;
  RECT over;
  if (centre != nullptr && ::GetWindowRect(centre, &over)) target = ToRect(over);
  const Point at = CenteredPosition(own.right - own.left, own.bottom - own.top, target, ToRect(info.rcWork));
  ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace platform::win32
