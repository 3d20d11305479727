// CMainDlg: the updater's single window and the driver of the whole update.
// One step runs per event: the first timer event starts the check, the
// worker's messages report the download, the confirmation dialog starts the
// unpacking, the worker reports the main program closed, and the dialog's own
// posted message ends the update with the offer to restart the main program.
//
// The window system delivers the dialog's messages to ProcessWindowMessage on
// the dialog's thread. A kWmClose that the map leaves unhandled is turned into
// the command kIdCancel by the window system, as a dialog manager does.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dialog_host.h"
#include "service/update_info.h"
#include "ui/update_ports.h"

class CMainDlg {
 public:
  static constexpr std::uintptr_t CHECK_TIMER_ID = 1;
  static constexpr unsigned CHECK_TIMER_INTERVAL = 300;  // milliseconds

  CMainDlg(DialogHost& host, ConfigPort& config, WorkerPort& update);
  CMainDlg(const CMainDlg&) = delete;
  CMainDlg& operator=(const CMainDlg&) = delete;

  // The message map. True when the message is handled; `result` is then the
  // handler's result.
  bool ProcessWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

  int OnInitDialog();
  void OnDestroy();
  void OnCloseCmd(int id);
  void OnTimer(std::uintptr_t id);
  void OnDownloadStatus(std::uintptr_t wParam, std::intptr_t lParam);
  void OnStartInstall();
  void OnInstallDone();
  void OnMainClosed();

 private:
  void Init();
  bool LoadConfig();
  void ConfigError();
  bool BeginDownload(const std::wstring& packageUrl);
  void StartInstall();
  void FinishInstall();
  void CloseDialog(int exitCode);
  void PostClose();

  DialogHost& m_host;

  UpdateInfo m_updateInfo{};
  ControlHandle m_progress = ControlHandle::None;
  ControlHandle m_percentLabel = ControlHandle::None;
  WorkerPort& m_update;
  bool m_bHasUpdate = false;
  bool m_bDownloading = false;
  std::wstring m_strServerHost;
  std::wstring m_strServerSuffix;
  std::wstring m_strLocalVersion;
  ConfigPort& m_config;
  std::int32_t m_nReceived = 0;
  bool m_bClosingMain = false;
};
