// The private messages of the update dialog. The worker thread sends
// WM_DOWNLOAD_STATUS and WM_MAIN_CLOSED, the confirmation dialog sends
// WM_START_INSTALL, and the dialog posts WM_INSTALL_DONE to itself.
#pragma once

#include <cstdint>

#include "platform/window.h"

inline constexpr unsigned WM_DOWNLOAD_STATUS = kWmUser + 1;
inline constexpr unsigned WM_START_INSTALL = kWmUser + 2;
inline constexpr unsigned WM_INSTALL_DONE = kWmUser + 3;
inline constexpr unsigned WM_MAIN_CLOSED = kWmUser + 4;

// wParam of WM_DOWNLOAD_STATUS. With DOWNLOAD_PROGRESS, lParam is the byte
// count of one chunk (not a running total); otherwise lParam is 0.
inline constexpr std::uintptr_t DOWNLOAD_PROGRESS = 1;
inline constexpr std::uintptr_t DOWNLOAD_DONE = 2;
inline constexpr std::uintptr_t DOWNLOAD_FAILED = 3;
