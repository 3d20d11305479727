#include "platform/win32/message_loop.h"

#include <algorithm>

namespace platform::win32 {

namespace {

constexpr UINT kCaretBlinkTimer = 0x0118;

template <typename T>
void Remove(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

void CMessageLoop::AddMessageFilter(CMessageFilter* filter) { m_filters.push_back(filter); }
void CMessageLoop::RemoveMessageFilter(CMessageFilter* filter) { Remove(m_filters, filter); }
void CMessageLoop::AddIdleHandler(CIdleHandler* handler) { m_idleHandlers.push_back(handler); }
void CMessageLoop::RemoveIdleHandler(CIdleHandler* handler) { Remove(m_idleHandlers, handler); }

int CMessageLoop::Run() {
  bool doIdle = true;
  MSG msg{};
  for (;;) {
    while (doIdle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      OnIdle();
      doIdle = false;
    }
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) break;
    if (!PreTranslateMessage(msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (IsIdleMessage(msg)) doIdle = true;
  }
  return static_cast<int>(msg.wParam);
}

bool CMessageLoop::PreTranslateMessage(MSG& msg) {
  // By index from the end, re-checked on every step: a filter may remove
  // entries while it runs (a dialog destroyed by the key it was given).
  for (size_t i = m_filters.size(); i-- > 0;) {
    if (i >= m_filters.size()) continue;
    if (m_filters[i]->PreTranslateMessage(msg)) return true;
  }
  return false;
}

void CMessageLoop::OnIdle() {
  for (size_t i = 0; i < m_idleHandlers.size(); ++i) m_idleHandlers[i]->OnIdle();
}

bool CMessageLoop::IsIdleMessage(const MSG& msg) {
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kCaretBlinkTimer:
      return false;
    default:
      return true;
  }
}

}  // namespace platform::win32
