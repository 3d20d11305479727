// CWorkerWatch: the worker port as the dialog sees it, noting whether the
// dialog abandoned a running worker thread (a forced close), so that the
// process knows it must not tear down what that thread still uses.
#pragma once

#include "ui/update_ports.h"

class CWorkerWatch final : public WorkerPort {
 public:
  explicit CWorkerWatch(WorkerPort& worker) : m_worker(worker) {}

  bool Abandoned() const { return m_bAbandoned; }

  void Setup(WindowHandle notifyWnd, const std::wstring& host, const std::wstring& suffix,
             const std::wstring& localVersion) override {
    m_worker.Setup(notifyWnd, host, suffix, localVersion);
  }
  int CheckUpdate(UpdateInfo& info) override { return m_worker.CheckUpdate(info); }
  bool SetPackageUrl(const wchar_t* url) override { return m_worker.SetPackageUrl(url); }
  bool PrepareDownloadDir(const wchar_t* folderName) override { return m_worker.PrepareDownloadDir(folderName); }
  bool StartDownload() override { return m_worker.StartDownload(); }
  int UnpackPackage() override { return m_worker.UnpackPackage(); }
  void RequestCloseMain(const wchar_t* moduleName) override { m_worker.RequestCloseMain(moduleName); }
  int InstallFiles() override { return m_worker.InstallFiles(); }
  void StopRunning() override { m_worker.StopRunning(); }
  void Detach() override {
    m_bAbandoned = true;
    m_worker.Detach();
  }
  unsigned Join() override { return m_worker.Join(); }

 private:
  WorkerPort& m_worker;
  bool m_bAbandoned = false;
};
