// Centring a top-level window over another window or over its monitor's work
// area, with the placement arithmetic every platform shares
// (platform/window_layout.h).
#pragma once

#include <windows.h>

namespace platform::win32 {

// Centres `window` over `centre` (its owner when null). A centre window that
// is hidden or minimised counts as none: the window is then centred on the
// work area of the monitor nearest to it. It is kept inside the work area of
// the monitor nearest to the centre window, its top-left corner winning when
// it is larger; it is moved without resizing, reordering or activating it.
// Nothing moves when the monitor cannot be had.
void CenterWindow(HWND window, HWND centre);

}  // namespace platform::win32
