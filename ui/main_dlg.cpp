#include "ui/main_dlg.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/files.h"
#include "platform/text.h"
#include "res/resource.h"
#include "ui/messages.h"

namespace {

const wchar_t kCaptionNotice[] = L"提示";
const wchar_t kCaptionError[] = L"错误";

const wchar_t kTextConfigFailed[] = L"更新配置文件加载失败！";
const wchar_t kTextNoUpdate[] = L"当前版本已是最新，无需更新！";
const wchar_t kTextDownloadFailed[] = L"下载更新文件失败！";
const wchar_t kTextUnpackFailed[] = L"解压更新包失败！";
const wchar_t kTextInstallFailed[] = L"安装更新文件失败！";
const wchar_t kTextRestart[] = L"更新完成，是否启动主程序！";
const wchar_t kTextBusy[] = L"程序正在更新，强制关闭有可能导致程序无法运行！";

const wchar_t kDownloadFolder[] = L"download";
const wchar_t kMainProgram[] = L"Norvane.exe";

// ".\update.cfg", with the platform's own separator.
std::wstring ConfigFile() { return std::wstring(L".") + platform::kPathSeparator + L"update.cfg"; }

// The narrow fields of UpdateInfo are NUL-terminated within their arrays.
template <size_t N>
std::wstring FieldToWide(const char (&field)[N]) {
  return platform::AnsiToWide(std::string_view(field, static_cast<size_t>(std::find(field, field + N, '\0') - field)));
}

}  // namespace

CMainDlg::CMainDlg(DialogHost& host, ConfigPort& config, WorkerPort& update)
    : m_host(host), m_update(update), m_config(config) {}

bool CMainDlg::ProcessWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                                    std::intptr_t& result) {
  result = 0;
  switch (message) {
    case kWmInitDialog:
      result = OnInitDialog();
      return true;
    case kWmDestroy:
      OnDestroy();
      return true;
    case kWmCommand: {
      const int id = static_cast<int>(wParam & 0xFFFF);
      if (id != kIdOk && id != kIdCancel) return false;
      OnCloseCmd(id);
      return true;
    }
    case kWmTimer:
      OnTimer(wParam);
      return true;
    case WM_DOWNLOAD_STATUS:
      OnDownloadStatus(wParam, lParam);
      return true;
    case WM_START_INSTALL:
      OnStartInstall();
      return true;
    case WM_INSTALL_DONE:
      OnInstallDone();
      return true;
    case WM_MAIN_CLOSED:
      OnMainClosed();
      return true;
    default:
      return false;
  }
}

int CMainDlg::OnInitDialog() {
  m_host.CenterWindow();
  m_host.SetIcons();
  m_host.AddToMessageLoop();
  if (m_progress == ControlHandle::None) m_progress = m_host.GetControl(IDC_PROGRESS);
  if (m_percentLabel == ControlHandle::None) m_percentLabel = m_host.GetControl(IDC_PERCENT);
  Init();
  return 1;
}

void CMainDlg::OnDestroy() { m_host.RemoveFromMessageLoop(); }

void CMainDlg::Init() {
  m_bHasUpdate = false;
  m_bDownloading = false;
  m_strServerHost.clear();
  m_strServerSuffix.clear();
  m_strLocalVersion.clear();
  m_nReceived = 0;
  m_bClosingMain = false;

  m_host.ShowControl(m_progress, false);
  m_host.ShowControl(m_percentLabel, false);

  if (!LoadConfig()) return;
  m_update.Setup(m_host.Window(), m_strServerHost, m_strServerSuffix, m_strLocalVersion);
  m_host.StartTimer(CHECK_TIMER_ID, CHECK_TIMER_INTERVAL);
}

bool CMainDlg::LoadConfig() {
  if (m_config.Load(ConfigFile()) != 1) return ConfigError(), false;

  CZtSection server;
  if (m_config.GetSection(L"SERVER", server) != 1 || server.GetValue(L"MSG_SERVER_HOST", m_strServerHost) != 1 ||
      server.GetValue(L"MSG_SERVER_SUFFIX", m_strServerSuffix) != 1)
    return ConfigError(), false;

  CZtSection version;
  if (m_config.GetSection(L"VERSION", version) != 1 || version.GetValue(L"LOCAL_VERSION", m_strLocalVersion) != 1)
    return ConfigError(), false;
  return true;
}

void CMainDlg::ConfigError() {
  m_host.ShowMessage(kTextConfigFailed, kCaptionError, MessageButtons::Ok);
  CloseDialog(0);
}

void CMainDlg::OnTimer(std::uintptr_t id) {
  if (id != CHECK_TIMER_ID) return;
  // Stopped before anything here can open a box: a box dispatches timer
  // events, and the check must never run twice.
  m_host.StopTimer(CHECK_TIMER_ID);
  std::memset(&m_updateInfo, 0, sizeof m_updateInfo);
  if (m_update.CheckUpdate(m_updateInfo) != 0) {
    m_bHasUpdate = true;
    m_host.SetProgressRange(m_progress, 0, 100);
    BeginDownload(FieldToWide(m_updateInfo.szPackageUrl));
  } else {
    m_bHasUpdate = false;
    m_host.ShowMessage(kTextNoUpdate, kCaptionNotice, MessageButtons::Ok);
    PostClose();
  }
}

bool CMainDlg::BeginDownload(const std::wstring& packageUrl) {
  m_nReceived = 0;
  m_update.SetPackageUrl(packageUrl.c_str());
  m_bDownloading = true;
  if (!m_update.PrepareDownloadDir(kDownloadFolder)) {
    // The dialog stays open; m_bDownloading stays set, so a later close asks
    // the busy question first.
    m_host.ShowMessage(kTextDownloadFailed, kCaptionError, MessageButtons::Ok);
    return false;
  }
  m_update.StartDownload();
  m_host.ShowControl(m_progress, true);
  m_host.ShowControl(m_percentLabel, true);
  return true;
}

void CMainDlg::OnDownloadStatus(std::uintptr_t wParam, std::intptr_t lParam) {
  switch (wParam) {
    case DOWNLOAD_PROGRESS: {
      if (m_updateInfo.nPackageSize <= 0) return;
      // A 32-bit running total, as the message carries 32-bit chunk counts.
      m_nReceived = static_cast<std::int32_t>(static_cast<std::uint32_t>(m_nReceived) +
                                              static_cast<std::uint32_t>(lParam));
      const auto percent =
          static_cast<std::int32_t>(static_cast<std::int64_t>(m_nReceived) * 100 / m_updateInfo.nPackageSize);
      wchar_t text[512];
      std::swprintf(text, 512, L"%d%%", percent);
      m_host.SetControlText(m_percentLabel, text);
      m_host.SetProgressPos(m_progress, percent);
      return;
    }
    case DOWNLOAD_DONE:
      m_bDownloading = false;
      // The confirmation dialog sends WM_START_INSTALL before it ends, so the
      // unpacking and the close request happen inside this call, while the
      // worker still waits for this message to be handled.
      m_host.RunHintDialog();
      return;
    case DOWNLOAD_FAILED:
      m_bDownloading = false;
      if (m_host.ShowMessage(kTextDownloadFailed, kCaptionError, MessageButtons::Ok) == kIdOk) PostClose();
      return;
    default:
      return;
  }
}

void CMainDlg::OnStartInstall() { StartInstall(); }

void CMainDlg::StartInstall() {
  if (m_update.UnpackPackage() != 0) {
    if (m_host.ShowMessage(kTextUnpackFailed, kCaptionError, MessageButtons::Ok) == kIdOk) PostClose();
    return;
  }
  m_bClosingMain = true;
  m_update.RequestCloseMain(kMainProgram);
}

void CMainDlg::OnMainClosed() {
  m_bClosingMain = false;
  FinishInstall();
}

void CMainDlg::FinishInstall() {
  if (m_update.InstallFiles() != 0) {
    // The configuration keeps the old version.
    if (m_host.ShowMessage(kTextInstallFailed, kCaptionError, MessageButtons::Ok) == kIdOk) PostClose();
    return;
  }
  // Recorded before the restart question; a failed write is not reported.
  m_config.WriteValue(L"VERSION", L"LOCAL_VERSION", FieldToWide(m_updateInfo.szNewVersion));
  m_host.PostToSelf(WM_INSTALL_DONE);
}

void CMainDlg::OnInstallDone() {
  if (m_host.ShowMessage(kTextRestart, kCaptionNotice, MessageButtons::YesNo) == kIdYes)
    m_host.OpenProgram(kMainProgram);
  PostClose();
}

void CMainDlg::OnCloseCmd(int id) { CloseDialog(id); }

void CMainDlg::CloseDialog(int exitCode) {
  if (m_bDownloading || m_bClosingMain) {
    if (m_host.ShowMessage(kTextBusy, kCaptionNotice, MessageButtons::YesNo) != kIdYes) return;
    m_update.Detach();
  }
  // A worker left without a job (after a failed download or unpack) would
  // wait for one for ever; let it end so the wait below returns. When it was
  // released above, this only lets it stop once its current job is done.
  m_update.StopRunning();
  m_update.Join();
  m_host.DestroyDialog();
  m_host.QuitLoop(exitCode);
}

void CMainDlg::PostClose() { m_host.PostToSelf(kWmClose); }
