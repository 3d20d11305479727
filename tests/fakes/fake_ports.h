// Stand-ins for the configuration store and the worker object, recording their
// calls in a Journal. The worker's thread is modelled by its states only: it
// is idle (waiting for a job) after StartDownload until it is told to stop, so
// a Join that would wait for ever is caught instead of hanging the test.
#pragma once

#include <cstring>
#include <functional>
#include <map>
#include <string>

#include "config/zt_section.h"
#include "fakes/journal.h"
#include "ui/update_ports.h"

class FakeConfig : public ConfigPort {
 public:
  explicit FakeConfig(Journal& journal) : m_journal(journal) {}

  int Load(const std::wstring& path) override {
    m_journal.Add("config load " + JournalText(path));
    return loadResult;
  }
  int GetSection(const std::wstring& section, CZtSection& target) override {
    m_journal.Add("config section " + JournalText(section));
    const auto it = sections.find(section);
    if (it == sections.end()) return 0;
    for (const auto& [k, v] : it->second) target.Put(k, v);
    return 1;
  }
  int WriteValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override {
    m_journal.Add("config write " + JournalText(section) + " " + JournalText(key) + "=" +
                  JournalText(value));
    sections[section][key] = value;
    return 1;
  }

  int loadResult = 1;
  std::map<std::wstring, std::map<std::wstring, std::wstring>> sections{
      {L"SERVER", {{L"MSG_SERVER_HOST", L"127.0.0.1:8080"}, {L"MSG_SERVER_SUFFIX", L"/svc"}}},
      {L"VERSION", {{L"LOCAL_VERSION", L"1.0"}}},
  };

 private:
  Journal& m_journal;
};

class FakeWorker : public WorkerPort {
 public:
  explicit FakeWorker(Journal& journal) : m_journal(journal) {}

  void Setup(WindowHandle wnd, const std::wstring& host, const std::wstring& suffix,
             const std::wstring& localVersion) override {
    notifyWnd = wnd;
    m_journal.Add("setup " + JournalText(host) + " " + JournalText(suffix) + " " +
                  JournalText(localVersion));
  }
  int CheckUpdate(UpdateInfo& info) override {
    m_journal.Add("check");
    for (const char* p = reinterpret_cast<const char*>(&info); p != reinterpret_cast<const char*>(&info + 1); ++p)
      if (*p != 0) m_journal.Add("check got a dirty record");
    if (!hasUpdate) return 0;
    info.nPackageSize = packageSize;
    std::strcpy(info.szNewVersion, newVersion.c_str());
    std::strcpy(info.szPackageUrl, packageUrl.c_str());
    return 1;
  }
  bool SetPackageUrl(const wchar_t* url) override {
    m_journal.Add("url " + JournalText(url));
    return true;
  }
  bool PrepareDownloadDir(const wchar_t* folder) override {
    m_journal.Add("prepare " + JournalText(folder));
    return prepareResult;
  }
  bool StartDownload() override {
    m_journal.Add("start download");
    if (!started) state = State::Downloading;
    started = true;
    return true;
  }
  int UnpackPackage() override {
    m_journal.Add("unpack");
    return unpackResult;
  }
  void RequestCloseMain(const wchar_t* module) override {
    m_journal.Add("close main " + JournalText(module));
    state = State::ClosingMain;
  }
  int InstallFiles() override {
    m_journal.Add("install");
    return installResult;
  }
  void StopRunning() override {
    m_journal.Add("stop running");
    stopRequested = true;
  }
  void Detach() override {
    m_journal.Add("detach");
    detached = true;
  }
  unsigned Join() override {
    m_journal.Add("join");
    if (started && !detached && !stopRequested && state != State::Ended) {
      // The real thread would never end: this Join would block for ever.
      m_journal.Add("join would block");
    }
    if (started && !detached && state != State::Idle && state != State::Ended)
      m_journal.Add("join while busy");
    joined = true;
    return 0;
  }

  // The worker's reports, as its thread would send them.
  void FinishDownload() { state = State::Idle; }
  void FinishClosingMain() { state = State::Ended; }

  enum class State { NotStarted, Downloading, Idle, ClosingMain, Ended };

  // Script
  bool hasUpdate = true;
  std::int64_t packageSize = 1000;
  std::string newVersion = "1.2.0";
  std::string packageUrl = "http://127.0.0.1:8080/pkg/pkg.zip";
  bool prepareResult = true;
  int unpackResult = 0;
  int installResult = 0;

  // Observed
  WindowHandle notifyWnd = WindowHandle::None;
  State state = State::NotStarted;
  bool started = false, detached = false, joined = false, stopRequested = false;

 private:
  Journal& m_journal;
};
