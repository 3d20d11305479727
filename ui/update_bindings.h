// Binds the dialog's ports to the real configuration store and worker object.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "config/zt_config.h"
#include "ui/update_ports.h"
#include "worker/download_update.h"

class CConfigBinding final : public ConfigPort {
 public:
  int Load(const std::wstring& path) override { return m_config.Load(path); }
  int GetSection(const std::wstring& section, CZtSection& target) override {
    return m_config.GetSection(section, target);
  }
  int WriteValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override {
    return m_config.WriteValue(section, key, value);
  }

 private:
  CZtConfig m_config;
};

// Owns the worker object on the heap, so that a thread abandoned by a forced
// close can outlive the dialog. Destroying the binding while that thread still
// runs tells it to stop (cancelling a download) and parks the object for the
// rest of the process instead of freeing it; tear-down never waits for it.
class CWorkerBinding final : public WorkerPort {
 public:
  CWorkerBinding() : m_worker(std::make_unique<CDownloadUpdate>()) {}
  CWorkerBinding(const CWorkerBinding&) = delete;
  CWorkerBinding& operator=(const CWorkerBinding&) = delete;
  ~CWorkerBinding() override {
    if (!m_worker->IsRunning()) return;
    m_worker->RequestStop();
    m_worker->Detach();
    Parked& parked = ParkedWorkers();
    std::lock_guard lock(parked.mutex);
    parked.workers.push_back(std::move(m_worker));
  }

  // The worker itself, for its timing settings.
  CDownloadUpdate& Worker() { return *m_worker; }

  void Setup(WindowHandle notifyWnd, const std::wstring& host, const std::wstring& suffix,
             const std::wstring& localVersion) override {
    m_worker->Setup(notifyWnd, host, suffix, localVersion);
  }
  int CheckUpdate(UpdateInfo& info) override { return m_worker->CheckUpdate(info); }
  bool SetPackageUrl(const wchar_t* url) override { return m_worker->SetPackageUrl(url); }
  bool PrepareDownloadDir(const wchar_t* folderName) override { return m_worker->PrepareDownloadDir(folderName); }
  bool StartDownload() override { return m_worker->StartDownload(); }
  int UnpackPackage() override { return m_worker->UnpackPackage(); }
  void RequestCloseMain(const wchar_t* moduleName) override { m_worker->RequestCloseMain(moduleName); }
  int InstallFiles() override { return m_worker->InstallFiles(); }
  void StopRunning() override { m_worker->StopRunning(); }
  void Detach() override { m_worker->Detach(); }
  unsigned Join() override { return m_worker->Join(); }

 private:
  struct Parked {
    std::mutex mutex;
    std::vector<std::unique_ptr<CDownloadUpdate>> workers;
  };
  // Never destroyed: the threads of these objects may still be running while
  // the process exits. Reachable from here, they are not counted as leaks.
  static Parked& ParkedWorkers() {
    static Parked* parked = new Parked;
    return *parked;
  }

  std::unique_ptr<CDownloadUpdate> m_worker;
};
