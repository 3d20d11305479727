#include "worker/download_update.h"

#include "install/extract.h"
#include "install/install_files.h"
#include "service/check_update.h"
#include "ui/messages.h"

static_assert(sizeof(std::atomic<bool>) == 1 && std::atomic<bool>::is_always_lock_free,
              "the request flags are single-byte atomics");

namespace {

// The package's file name within a URL: the last segment of its path.
std::wstring FileNameOf(const std::wstring& url) {
  // The query and the fragment are not part of the path; the query is sent
  // with the request, and "?" has no place in a file name.
  const std::wstring noQuery = url.substr(0, url.find_first_of(L"?#"));
  // The path begins after the scheme's "//" and the authority; a text without
  // a scheme is all path.
  size_t pathStart = 0;
  if (const size_t scheme = noQuery.find(L"://"); scheme != std::wstring::npos) {
    pathStart = noQuery.find(L'/', scheme + 3);
    if (pathStart == std::wstring::npos) return {};
  }
  const size_t last = noQuery.find_last_of(L"/\\");
  std::wstring name = last == std::wstring::npos || last < pathStart ? noQuery.substr(pathStart) : noQuery.substr(last + 1);
  // Either would name a folder, never a file inside the version folder.
  if (name == L"." || name == L"..") name.clear();
  return name;
}

}  // namespace

CDownloadUpdate::CDownloadUpdate() { m_transport.cancel = &m_bCancel; }

CDownloadUpdate::~CDownloadUpdate() {
  // The thread reads the strings; it must have ended before they go.
  if (m_bStarted && !m_bDetached) {
    RequestStop();
    Join();
  }
}

void CDownloadUpdate::Setup(WindowHandle notifyWnd, const std::wstring& host, const std::wstring& suffix,
                            const std::wstring& localVersion) {
  m_hNotifyWnd = notifyWnd;
  m_strHost = host;
  m_strSuffix = suffix;
  m_strLocalVersion = localVersion;
}

int CDownloadUpdate::CheckUpdate(UpdateInfo& info) {
  service::TransportOptions options = m_transport;
  options.cancel = nullptr;
  return service::CheckUpdate(m_strHost, m_strSuffix, m_strLocalVersion, info, m_strNewVersion, options);
}

bool CDownloadUpdate::SetPackageUrl(const wchar_t* url) {
  m_strPackageUrl = url != nullptr ? url : L"";
  m_strPackageFile = FileNameOf(m_strPackageUrl);
  return true;
}

bool CDownloadUpdate::PrepareDownloadDir(const wchar_t* folderName) {
  return install::PrepareDownloadDir(folderName, m_strNewVersion, m_strPackageFile, m_strDownloadDir);
}

bool CDownloadUpdate::StartDownload() {
  m_bRunning = true;
  m_bDownloadRequest = true;
  Wake();  // a loop that is still running takes the new request
  Start(0);
  return true;
}

int CDownloadUpdate::UnpackPackage() { return install::UnzipToFolder(m_strPackageFile, m_strDownloadDir); }

void CDownloadUpdate::RequestCloseMain(const wchar_t* moduleName) {
  m_strMainModule = moduleName != nullptr ? moduleName : L"";
  m_bCloseMainRequest = true;
  Wake();
}

int CDownloadUpdate::InstallFiles() { return install::InstallFiles(m_strDownloadDir); }

bool CDownloadUpdate::DownloadFile(const std::wstring& url) {
  const auto report = [this](std::uint32_t bytes) {
    platform::SendWindowMessage(m_hNotifyWnd, WM_DOWNLOAD_STATUS, DOWNLOAD_PROGRESS, static_cast<std::intptr_t>(bytes));
  };
  return service::DownloadFile(url, m_strPackageFile, report, m_transport);
}

std::uint32_t CDownloadUpdate::Run() {
  for (;;) {
    if (m_bDownloadRequest) {
      const bool done = DownloadFile(m_strPackageUrl);
      platform::SendWindowMessage(m_hNotifyWnd, WM_DOWNLOAD_STATUS, done ? DOWNLOAD_DONE : DOWNLOAD_FAILED, 0);
      m_bDownloadRequest = false;
    }
    if (m_bCloseMainRequest) {
      CloseMainProgram(m_strMainModule.c_str(), m_shutdown);
      m_bCloseMainRequest = false;
      platform::SendWindowMessage(m_hNotifyWnd, WM_MAIN_CLOSED, 0, 0);
      m_bRunning = false;
      return 0;
    }
    if (!m_bRunning) return 0;
    WaitForJob();
  }
}

void CDownloadUpdate::StopRunning() {
  m_bRunning = false;
  Wake();
}

void CDownloadUpdate::RequestStop() {
  m_bCancel = true;
  StopRunning();
}

void CDownloadUpdate::SetTransportTimeouts(std::uint32_t connectMs, std::uint32_t sendMs, std::uint32_t receiveMs) {
  m_transport.connectTimeoutMs = connectMs;
  m_transport.sendTimeoutMs = sendMs;
  m_transport.receiveTimeoutMs = receiveMs;
}

void CDownloadUpdate::Wake() {
  // Taking the lock orders the flag's change before a waiter's check of it, so
  // the notification cannot fall between that check and the wait.
  { std::lock_guard lock(m_wakeMutex); }
  m_wake.notify_all();
}

void CDownloadUpdate::WaitForJob() {
  std::unique_lock lock(m_wakeMutex);
  m_wake.wait(lock, [this] { return m_bDownloadRequest || m_bCloseMainRequest || !m_bRunning; });
}
