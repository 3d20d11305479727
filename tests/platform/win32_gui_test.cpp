// The Win32 window system with the program's own dialog resources: controls
// found by their stored ids, placement, the loop's keyboard filter and idle
// handler, timers, and sends handled inside a message box.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui.h"
#include "platform/win32/app_module.h"
#include "platform/win32/center_window.h"
#include "platform/window.h"
#include "res/resource.h"

namespace {

using platform::DialogTemplate;
using platform::DialogWindow;
using platform::ModalDialog;

// Only the id matters on Win32: the window comes from the resource.
const DialogTemplate kMain{IDD_MAIN, L"Updater", 318, 121, L"", 9, true, true, {}, {}};
const DialogTemplate kHint{IDD_HINT, L"Dialog", 261, 99, L"", 8, false, false, {}, {}};

HWND Hwnd(WindowHandle w) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(w)); }
HWND Hwnd(ControlHandle c) { return reinterpret_cast<HWND>(static_cast<std::intptr_t>(c)); }

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  ::GetClassNameW(hwnd, name, 64);
  return name;
}

RECT WorkArea(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
  return info.rcWork;
}

RECT Rect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

// A dialog whose map records every message it is given and lets the test
// react to them.
class Recorder {
 public:
  struct Entry {
    unsigned message;
    std::uintptr_t wParam;
  };

  platform::MessageMap Map() {
    return [this](unsigned m, std::uintptr_t w, std::intptr_t l, std::intptr_t& r) {
      r = 0;
      if (m == kWmInitDialog) {
        if (onInit) onInit();
        r = 1;
        return true;
      }
      if (m != kWmCommand && m != kWmTimer && m < kWmUser) return false;
      entries.push_back({m, w});
      return onMessage ? onMessage(m, w, l) : true;
    };
  }

  long Count(unsigned message, std::uintptr_t wParam) const {
    long n = 0;
    for (const auto& e : entries) n += e.message == message && e.wParam == wParam;
    return n;
  }

  std::function<void()> onInit;
  std::function<bool(unsigned, std::uintptr_t, std::intptr_t)> onMessage;
  std::vector<Entry> entries;
};

class Win32Gui : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(platform::InitWindowSystem()); }
};

TEST_F(Win32Gui, TheTemplateGivesAHiddenDialogWithItsControlsByTheirStoredIds) {
  Recorder recorder;
  DialogWindow window(kMain, nullptr);
  ASSERT_TRUE(window.Create(recorder.Map()));
  const HWND dialog = Hwnd(window.Window());
  EXPECT_FALSE(::IsWindowVisible(dialog));
  wchar_t caption[32] = {};
  ::GetWindowTextW(dialog, caption, 32);
  EXPECT_EQ(std::wstring(caption), L"Updater");
  const DWORD style = static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP),
            DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});

  const HWND label = Hwnd(window.GetControl(IDC_PERCENT));
  const HWND bar = Hwnd(window.GetControl(IDC_PROGRESS));
  ASSERT_NE(label, nullptr) << "the label stored as 0xFFFFFFFF";
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(ClassOf(label), L"Static");
  EXPECT_EQ(_wcsicmp(ClassOf(bar).c_str(), L"msctls_progress32"), 0);
  EXPECT_EQ(window.GetControl(4242), ControlHandle::None);

  window.SetProgressRange(window.GetControl(IDC_PROGRESS), 0, 100);
  window.SetProgressPos(window.GetControl(IDC_PROGRESS), 250);
  EXPECT_EQ(::SendMessageW(bar, PBM_GETPOS, 0, 0), 100) << "the bar keeps the position in its range";
  window.DestroyDialog();
}

TEST_F(Win32Gui, CentringKeepsTheWindowInsideTheWorkArea) {
  Recorder recorder;
  DialogWindow window(kMain, nullptr);
  ASSERT_TRUE(window.Create(recorder.Map()));
  const HWND dialog = Hwnd(window.Window());
  const RECT area = WorkArea(dialog);

  window.CenterWindow();
  RECT r = Rect(dialog);
  const int w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(r.left, (area.left + area.right) / 2 - w / 2);
  EXPECT_EQ(r.top, (area.top + area.bottom) / 2 - h / 2);

  // Larger than the area: the top-left corner wins.
  ::SetWindowPos(dialog, nullptr, 0, 0, (area.right - area.left) + 300, (area.bottom - area.top) + 200,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  window.CenterWindow();
  r = Rect(dialog);
  EXPECT_EQ(r.left, area.left);
  EXPECT_EQ(r.top, area.top);
  window.DestroyDialog();
}

TEST_F(Win32Gui, ModalDialogIsCentredOverItsVisibleOwnerAndEndsWithItsResult) {
  Recorder main;
  DialogWindow window(kMain, nullptr);
  ASSERT_TRUE(window.Create(main.Map()));
  const HWND owner = Hwnd(window.Window());
  ::SetWindowPos(owner, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::ShowWindow(owner, SW_SHOWNOACTIVATE);

  ModalDialog hint(window, kHint);
  Recorder modal;
  RECT placed{};
  modal.onInit = [&] {
    EXPECT_EQ(Hwnd(hint.Owner()), owner);
    hint.CenterWindow();
    const HWND self = ::GetParent(Hwnd(hint.GetControl(kIdOk)));
    placed = Rect(self);
    // Return presses the default button, as the user's Return would.
    ::PostMessageW(self, WM_KEYDOWN, VK_RETURN, 0);
  };
  modal.onMessage = [&](unsigned m, std::uintptr_t w, std::intptr_t) {
    if (m == kWmCommand && (w & 0xFFFF) == static_cast<std::uintptr_t>(kIdOk)) hint.EndDialog(kIdOk);
    return true;
  };
  EXPECT_EQ(hint.Run(modal.Map()), kIdOk);
  EXPECT_EQ(modal.Count(kWmCommand, kIdOk), 1);

  const RECT o = Rect(owner);
  const int w = placed.right - placed.left, h = placed.bottom - placed.top;
  ASSERT_GT(w, 0);
  const RECT area = WorkArea(owner);
  int left = (o.left + o.right) / 2 - w / 2, top = (o.top + o.bottom) / 2 - h / 2;
  left = std::max<int>(area.left, std::min<int>(left, area.right - w));
  top = std::max<int>(area.top, std::min<int>(top, area.bottom - h));
  EXPECT_EQ(placed.left, left);
  EXPECT_EQ(placed.top, top);
  window.DestroyDialog();
}

TEST_F(Win32Gui, TheLoopGivesKeysToTheDialogRunsIdleWorkAndEndsWithTheQuitCode) {
  Recorder recorder;
  DialogWindow window(kMain, nullptr);
  ASSERT_TRUE(window.Create(recorder.Map()));
  window.AddToMessageLoop();
  const HWND dialog = Hwnd(window.Window());
  recorder.onMessage = [&](unsigned m, std::uintptr_t w, std::intptr_t) {
    if (m == kWmCommand && (w & 0xFFFF) == static_cast<std::uintptr_t>(kIdCancel)) {
      // Escape arrives after Return: both came through the loop's filter.
      window.RemoveFromMessageLoop();
      window.DestroyDialog();
      window.QuitLoop(5);
    }
    return true;
  };
  // Idle work runs when the queue is empty, and not while messages wait:
  // the keys it posts come both at once.
  struct Probe : platform::win32::CIdleHandler {
    bool OnIdle() override {
      if (++calls == 1) {
        // Keys as the keyboard delivers them: to the focused window, through
        // the queue, so only the loop's filter turns them into commands.
        ::PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);
        ::PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
      }
      return false;
    }
    HWND dialog = nullptr;
    int calls = 0;
  } probe;
  probe.dialog = dialog;
  platform::win32::Module().GetMessageLoop()->AddIdleHandler(&probe);
  EXPECT_EQ(platform::RunMessageLoop(), 5);
  EXPECT_EQ(probe.calls, 1);
  EXPECT_EQ(recorder.Count(kWmCommand, kIdOk), 1);
  EXPECT_EQ(recorder.Count(kWmCommand, kIdCancel), 1);
  ASSERT_TRUE(platform::InitWindowSystem());  // the ended loop left the module; the next test needs one
}

TEST_F(Win32Gui, CloseRequestBecomesCancelAndAStoppedTimerDropsItsQueuedEvent) {
  Recorder recorder;
  DialogWindow window(kMain, nullptr);
  ASSERT_TRUE(window.Create(recorder.Map()));
  window.StartTimer(1, 1);
  ::Sleep(50);  // the event is due now, but not taken from the queue yet
  window.StopTimer(1);
  window.PostToSelf(kWmClose);
  recorder.onMessage = [&](unsigned m, std::uintptr_t w, std::intptr_t) {
    if (m == kWmCommand && (w & 0xFFFF) == static_cast<std::uintptr_t>(kIdCancel)) {
      window.DestroyDialog();
      window.QuitLoop(2);
    }
    return true;
  };
  EXPECT_EQ(platform::RunMessageLoop(), 2);
  EXPECT_EQ(recorder.Count(kWmTimer, 1), 0);
  EXPECT_EQ(recorder.Count(kWmCommand, kIdCancel), 1);
  ASSERT_TRUE(platform::InitWindowSystem());
}

TEST_F(Win32Gui, SendsFromAnotherThreadAreHandledWhileAMessageBoxIsOpen) {
  Recorder recorder;
  DialogWindow window(kMain, nullptr);
  ASSERT_TRUE(window.Create(recorder.Map()));
  const WindowHandle target = window.Window();
  constexpr unsigned kReport = kWmUser + 1;
  std::atomic<std::intptr_t> answer{-1};
  recorder.onMessage = [&](unsigned m, std::uintptr_t, std::intptr_t) {
    if (m == kReport) {
      // The box is open over the dialog; the report closes it.
      const HWND box = ::FindWindowW(L"#32770", L"Box");
      EXPECT_NE(box, nullptr);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return true;
  };
  std::thread worker([&] {
    while (::FindWindowW(L"#32770", L"Box") == nullptr) ::Sleep(10);
    answer = platform::SendWindowMessage(target, kReport, 0, 0);
  });
  EXPECT_EQ(window.ShowMessage(L"text", L"Box", MessageButtons::Ok), kIdOk);
  worker.join();
  EXPECT_EQ(answer.load(), 0);
  EXPECT_EQ(recorder.Count(kReport, 0), 1);
  window.DestroyDialog();
  EXPECT_EQ(platform::SendWindowMessage(target, kReport, 0, 0), 0) << "a gone window answers at once";
}

}  // namespace
