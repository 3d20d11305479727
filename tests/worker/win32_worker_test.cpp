// The worker on Windows: its thread reporting to a real window by sends, and
// the main program's shutdown against a real "Norvane.exe" with a window.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "support/server_process.h"
#include "support/temp_dir.h"
#include "support/test_server.h"
#include "ui/messages.h"
#include "worker/download_update.h"

namespace {

namespace fs = std::filesystem;

// The Windows path of a file of this build (the build names it by its Linux
// path).
std::wstring BuildFile(const char* unixPath) {
  using Convert = WCHAR*(CDECL*)(LPCSTR);
  const auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (convert != nullptr) {
    if (WCHAR* dos = convert(unixPath)) {
      std::wstring out = dos;
      ::HeapFree(::GetProcessHeap(), 0, dos);
      return out;
    }
  }
  return platform::AnsiToWide(unixPath);
}

// A running stand-in for the main program.
class MainProgram {
 public:
  explicit MainProgram(const std::wstring& options) {
    const fs::path ready = m_dir / "ready";
    std::wstring line = L"\"" + BuildFile(NORVANE_STANDIN) + L"\" " + options + L" --ready \"" + ready.wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi)) return;
    for (int i = 0; i < 3000 && !fs::exists(ready); ++i) {
      if (::WaitForSingleObject(m_pi.hProcess, 20) == WAIT_OBJECT_0) break;
    }
  }
  MainProgram(const MainProgram&) = delete;
  MainProgram& operator=(const MainProgram&) = delete;
  ~MainProgram() {
    if (m_pi.hProcess == nullptr) return;
    if (Running()) ::TerminateProcess(m_pi.hProcess, 99);
    ::WaitForSingleObject(m_pi.hProcess, INFINITE);
    ::CloseHandle(m_pi.hThread);
    ::CloseHandle(m_pi.hProcess);
  }
  bool Started() const { return m_pi.hProcess != nullptr && fs::exists(m_dir / "ready"); }
  bool Running() const { return ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }
  DWORD ExitCode() const {
    ::WaitForSingleObject(m_pi.hProcess, 10000);
    DWORD code = 0;
    ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
  }

 private:
  TempDir m_dir;
  PROCESS_INFORMATION m_pi{};
};

// A program that closes when asked may take its time on a loaded machine; one
// that does not is ended after the grace period whatever its length.
ShutdownTiming Patient() {
  ShutdownTiming t;
  t.gracePeriodMs = 60000;
  t.pollIntervalMs = 200;
  return t;
}

ShutdownTiming Short() {
  ShutdownTiming t;
  t.gracePeriodMs = 500;
  t.pollIntervalMs = 200;
  return t;
}

struct ShutdownCase {
  const char* name;
  const wchar_t* options;
  const wchar_t* lookedFor;
  int result;
  DWORD exitCode;  // 0 after a forced end; 259 while it still runs
};

class Shutdown : public ::testing::TestWithParam<ShutdownCase> {};

TEST_P(Shutdown, ClosesTheFirstMatchPolitelyOrByForce) {
  const ShutdownCase& c = GetParam();
  MainProgram program(c.options);
  ASSERT_TRUE(program.Started());
  EXPECT_EQ(CDownloadUpdate::CloseMainProgram(c.lookedFor, c.exitCode == 7 ? Patient() : Short()), c.result);
  if (c.exitCode == STILL_ACTIVE) {
    EXPECT_TRUE(program.Running());
  } else {
    EXPECT_EQ(program.ExitCode(), c.exitCode);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Programs, Shutdown,
    ::testing::Values(ShutdownCase{"ClosesOnRequest", L"", L"Norvane.exe", 1, 7},
                      ShutdownCase{"IgnoresTheRequest", L"--ignore-close", L"Norvane.exe", 1, 0},
                      ShutdownCase{"HasNoWindow", L"--no-window", L"Norvane.exe", 1, 0},
                      ShutdownCase{"NameInAnotherCase", L"", L"norvane.exe", 0, STILL_ACTIVE}),
    [](const auto& info) { return std::string(info.param.name); });

// A window of the test's own thread that records what the worker sends it.
class ReportWindow {
 public:
  struct Report {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  ReportWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WorkerReports";
    ::RegisterClassW(&wc);
    m_hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ReportWindow(const ReportWindow&) = delete;
  ReportWindow& operator=(const ReportWindow&) = delete;
  ~ReportWindow() { ::DestroyWindow(m_hWnd); }

  WindowHandle Handle() const { return static_cast<WindowHandle>(reinterpret_cast<std::uintptr_t>(m_hWnd)); }

  // Runs the thread's loop until `done` holds or the time is up.
  template <typename Done>
  bool PumpUntil(Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > until) return false;
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG msg;
      while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }
    return true;
  }

  std::vector<Report> reports;
  std::function<void(const Report&)> onReport;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ReportWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && (message == WM_DOWNLOAD_STATUS || message == WM_MAIN_CLOSED)) {
      // Sent, not posted: the worker waits for this handler.
      EXPECT_TRUE(::InSendMessage());
      self->reports.push_back({message, wParam, lParam});
      if (self->onReport) self->onReport(self->reports.back());
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  HWND m_hWnd = nullptr;
};

class WorkerThread : public ::testing::Test {
 protected:
  void StartService(size_t size) {
    m_package = Pattern(3, size);
    m_releases.Write("norvane-1.2.0.zip", m_package);
    m_releases.Write("release.json", R"({"version":"1.2.0","package":"norvane-1.2.0.zip"})");
    m_service = std::make_unique<ServerProcess>(std::vector<std::string>{
        UPDATER_PYTHON, UPDATER_UPDATE_SERVICE, "--releases", m_releases.Path().string(), "--prefix", "/norvane",
        "--quiet"});
    ASSERT_NE(m_service->Port(), 0);
  }

  // The dialog's steps up to the started download; `beforeStart` runs just
  // before the thread starts.
  void BeginDownload(CDownloadUpdate& w, const std::function<void()>& beforeStart = {}) {
    w.Setup(m_window.Handle(), L"127.0.0.1:" + std::to_wstring(m_service->Port()), L"/norvane", L"1.0");
    UpdateInfo info;
    std::memset(&info, 0, sizeof info);
    ASSERT_EQ(w.CheckUpdate(info), 1);
    w.SetPackageUrl(platform::AnsiToWide(info.szPackageUrl).c_str());
    ASSERT_TRUE(w.PrepareDownloadDir(L"download"));
    w.SetShutdownTiming(Patient());
    if (beforeStart) beforeStart();
    w.StartDownload();
  }

  bool Has(UINT message) const {
    for (const auto& r : m_window.reports)
      if (r.message == message) return true;
    return false;
  }

  TempDir m_dir{true};
  TempDir m_releases;
  std::string m_package;
  std::unique_ptr<ServerProcess> m_service;
  ReportWindow m_window;
};

TEST_F(WorkerThread, DownloadsReportsAndClosesTheMainProgramBySends) {
  StartService(300000);
  MainProgram program(L"");
  ASSERT_TRUE(program.Started());
  CDownloadUpdate worker;
  m_window.onReport = [&](const ReportWindow::Report& r) {
    // As the dialog does: the close request is made inside the DONE send.
    if (r.message == WM_DOWNLOAD_STATUS && r.wParam == DOWNLOAD_DONE) worker.RequestCloseMain(L"Norvane.exe");
  };
  BeginDownload(worker);
  ASSERT_TRUE(m_window.PumpUntil([&] { return Has(WM_MAIN_CLOSED); }));
  EXPECT_EQ(worker.Join(), 0u);

  LPARAM received = 0;
  size_t i = 0;
  for (; i < m_window.reports.size() && m_window.reports[i].wParam == DOWNLOAD_PROGRESS; ++i)
    received += m_window.reports[i].lParam;
  EXPECT_EQ(received, static_cast<LPARAM>(m_package.size()));
  ASSERT_EQ(m_window.reports.size(), i + 2);
  EXPECT_EQ(m_window.reports[i].wParam, DOWNLOAD_DONE);
  EXPECT_EQ(m_window.reports[i + 1].message, static_cast<UINT>(WM_MAIN_CLOSED));
  EXPECT_EQ(m_dir.Read("download/1.2.0/norvane-1.2.0.zip"), m_package);
  EXPECT_EQ(program.ExitCode(), 7u) << "closed politely";
}

TEST_F(WorkerThread, AfterAFailedDownloadNothingMoreComesAndTheThreadCanBeEnded) {
  StartService(1000);
  CDownloadUpdate worker;
  // The package goes away between the check and the download.
  BeginDownload(worker, [&] { fs::remove(m_releases / "norvane-1.2.0.zip"); });
  ASSERT_TRUE(m_window.PumpUntil(
      [&] { return !m_window.reports.empty() && m_window.reports.back().wParam == DOWNLOAD_FAILED; }));
  worker.StopRunning();
  EXPECT_EQ(worker.Join(), 0u);
  EXPECT_FALSE(Has(WM_MAIN_CLOSED));
}

}  // namespace
