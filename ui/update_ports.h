// The operations of the other subsystems that the update dialog calls, as
// interfaces, so the dialog can be driven with stand-ins. The program binds them
// to the configuration store and the worker object (ui/update_bindings.h).
// Every call comes from the dialog's thread.
#pragma once

#include <string>

#include "config/zt_section.h"
#include "platform/window.h"
#include "service/update_info.h"

// The configuration file (CZtConfig).
class ConfigPort {
 public:
  virtual ~ConfigPort() = default;
  virtual int Load(const std::wstring& path) = 0;
  virtual int GetSection(const std::wstring& section, CZtSection& target) = 0;
  virtual int WriteValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) = 0;
};

// The worker object (CDownloadUpdate) and its thread.
class WorkerPort {
 public:
  virtual ~WorkerPort() = default;
  virtual void Setup(WindowHandle notifyWnd, const std::wstring& host, const std::wstring& suffix,
                     const std::wstring& localVersion) = 0;
  // Nonzero: an update is to be installed and `info` describes it.
  virtual int CheckUpdate(UpdateInfo& info) = 0;
  virtual bool SetPackageUrl(const wchar_t* url) = 0;
  virtual bool PrepareDownloadDir(const wchar_t* folderName) = 0;
  virtual bool StartDownload() = 0;
  // 0 = success.
  virtual int UnpackPackage() = 0;
  virtual void RequestCloseMain(const wchar_t* moduleName) = 0;
  // 0 = success.
  virtual int InstallFiles() = 0;
  // Lets a worker that has no job end its loop instead of waiting for one.
  virtual void StopRunning() = 0;
  // Releases the thread without waiting; it may go on running, and nothing it
  // uses is freed before it has ended.
  virtual void Detach() = 0;
  // Waits for a started, unreleased thread to end.
  virtual unsigned Join() = 0;
};
