// Windows as message targets, shared by the window system and the worker.
//
// A WindowHandle names a window that belongs to one thread (the thread that
// created it and runs its message loop). Any thread may send it a message; the
// message is handled on the owning thread, and the sender waits until the
// handler has returned. The handle is a plain value: it may outlive its window,
// and a send to a window that is gone returns at once.
//
// The message numbers below are the window system's own; the logic uses them
// for the dialog's message map on every platform.
#pragma once

#include <cstdint>

enum class WindowHandle : std::uintptr_t { None = 0 };

inline constexpr unsigned kWmDestroy = 0x0002;
inline constexpr unsigned kWmClose = 0x0010;
inline constexpr unsigned kWmInitDialog = 0x0110;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kWmTimer = 0x0113;
inline constexpr unsigned kWmUser = 0x0400;

// Command ids and message-box answers.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

namespace platform {

// Sends `message` to `window` and waits until the owning thread has handled it
// (from the thread's main loop or any nested modal loop it runs). Called on the
// owning thread itself, the handler runs at once. Returns the handler's result,
// or 0 without waiting when the window is null or gone; a window destroyed
// while a send waits ends the wait with 0.
std::intptr_t SendWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace platform
