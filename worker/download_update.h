// CDownloadUpdate: the updater's worker object. It carries the update's
// settings, package URL and paths from step to step, and its thread serves two
// jobs: downloading the package and closing the main program. The dialog steers
// the thread with three request flags and hears back from it only through
// synchronous messages to its window (WM_DOWNLOAD_STATUS, WM_MAIN_CLOSED).
//
// Every operation except Run and what Run calls is made on the dialog's thread.
// The worker reads only m_hNotifyWnd, m_strPackageUrl, m_strPackageFile,
// m_strMainModule and the flags, and writes no string; every string a job
// needs is written before the flag that starts the job is set.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/window.h"
#include "service/http_transport.h"
#include "service/update_info.h"
#include "worker/term_thread.h"

// The waits of the main program's shutdown. The defaults are the program's.
struct ShutdownTiming {
  std::uint32_t gracePeriodMs = 10000;  // after the close requests, before the forced end
  std::uint32_t pollIntervalMs = 1000;  // between forced ends while the process still runs
  // Forced ends repeated after the first before giving up on a process that
  // will not end (one stuck in the kernel, or one whose end cannot be read).
  std::uint32_t maxRepeatedForcedEnds = 10;
};

class CDownloadUpdate : public TermThread {
 public:
  CDownloadUpdate();
  // A thread still running unobserved (neither joined nor detached) is told to
  // stop, its download is cancelled, and it is waited for; every wait it can be
  // in is bounded (the transport's time-outs, the shutdown's grace period and
  // repetitions), and a send to a window that is gone returns at once. The
  // dialog's window must therefore be gone, or owned by another thread, when
  // this runs. An object whose thread was detached and still runs must not be
  // destroyed at all (CWorkerBinding parks it).
  ~CDownloadUpdate() override;

  std::uint32_t Run() override;

  void Setup(WindowHandle notifyWnd, const std::wstring& host, const std::wstring& suffix,
             const std::wstring& localVersion);
  // 1 when an update is to be installed (`info` and m_strNewVersion describe
  // it); 0 when there is none and after every failure.
  int CheckUpdate(UpdateInfo& info);
  // Keeps the URL and takes the package's file name from it: the last segment
  // of the URL's path, without query and fragment. "\" separates like "/", and
  // "." or ".." give the empty name, so the name can never leave the version
  // folder. Null is taken as empty. Always true.
  bool SetPackageUrl(const wchar_t* url);
  // Creates the version folder under `folderName` and turns m_strPackageFile
  // into the package's full path in it. False when the folder is refused.
  bool PrepareDownloadDir(const wchar_t* folderName);
  // Requests the download and starts the thread (once). Always true.
  bool StartDownload();
  // 0 = the package was unpacked into the version folder.
  int UnpackPackage();
  // Requests the main program's shutdown; null is taken as empty.
  void RequestCloseMain(const wchar_t* moduleName);
  // 0 = the version folder was copied over the current directory.
  int InstallFiles();

  // Worker thread: fetches `url` into m_strPackageFile, sending a
  // DOWNLOAD_PROGRESS report per chunk. True when complete.
  bool DownloadFile(const std::wstring& url);
  // Closes the first running process whose executable is named `moduleName`
  // (exact, case-sensitive): its windows are asked to close, it gets the grace
  // period, then it is ended by force, again once per poll interval while it
  // still runs, up to the given number of repetitions. 1 when such a process
  // was found and has ended; 0 when none was found, the process list could not
  // be read, or the process would not end. The updater's own process is never
  // touched.
  static int CloseMainProgram(const wchar_t* moduleName, const ShutdownTiming& timing = {});

  // Lets a worker without a job end its loop at once; a job under way is
  // finished first. Wakes the worker.
  void StopRunning();
  // For tear-down: as StopRunning, and a download under way is cancelled.
  void RequestStop();

  // The waits, set before StartDownload. Defaults are the program's.
  void SetTransportTimeouts(std::uint32_t connectMs, std::uint32_t sendMs, std::uint32_t receiveMs);
  void SetShutdownTiming(const ShutdownTiming& timing) { m_shutdown = timing; }

  const std::wstring& PackageUrl() const { return m_strPackageUrl; }
  const std::wstring& PackageFile() const { return m_strPackageFile; }
  const std::wstring& DownloadDir() const { return m_strDownloadDir; }
  const std::wstring& NewVersion() const { return m_strNewVersion; }

 private:
  // Wakes a worker waiting for a job; called after a flag has changed.
  void Wake();
  // Blocks, using no processor time, until a job is requested or the loop is
  // to end.
  void WaitForJob();

  WindowHandle m_hNotifyWnd = WindowHandle::None;
  std::wstring m_strHost;
  std::wstring m_strSuffix;
  std::wstring m_strLocalVersion;
  std::wstring m_strPackageUrl;
  std::wstring m_strPackageFile;
  std::wstring m_strDownloadDir;
  std::wstring m_strNewVersion;
  std::atomic<bool> m_bRunning{false};
  std::atomic<bool> m_bDownloadRequest{false};
  std::atomic<bool> m_bCloseMainRequest{false};
  std::wstring m_strMainModule;

  // Beside the flags, only so that an idle worker can sleep until one of them
  // changes; the flags themselves are read and written without it.
  std::mutex m_wakeMutex;
  std::condition_variable m_wake;
  std::atomic<bool> m_bCancel{false};  // watched by a running download
  service::TransportOptions m_transport;
  ShutdownTiming m_shutdown;
};
