// Stands in for the worker object until it is built: it runs the update
// check and fails every later step, so the program runs the road without an
// update end to end.
#pragma once

#include "service/check_update.h"
#include "ui/update_ports.h"

class CCheckOnlyWorker final : public WorkerPort {
 public:
  void Setup(WindowHandle, const std::wstring& host, const std::wstring& suffix,
             const std::wstring& localVersion) override {
    m_strHost = host, m_strSuffix = suffix, m_strLocalVersion = localVersion;
  }
  int CheckUpdate(UpdateInfo& info) override {
    return service::CheckUpdate(m_strHost, m_strSuffix, m_strLocalVersion, info, m_strNewVersion);
  }
  bool SetPackageUrl(const wchar_t*) override { return true; }
  bool PrepareDownloadDir(const wchar_t*) override { return false; }
  bool StartDownload() override { return true; }
  int UnpackPackage() override { return -1; }
  void RequestCloseMain(const wchar_t*) override {}
  int InstallFiles() override { return -1; }
  void StopRunning() override {}
  void Detach() override {}
  unsigned Join() override { return 0; }

 private:
  std::wstring m_strHost, m_strSuffix, m_strLocalVersion, m_strNewVersion;
};
