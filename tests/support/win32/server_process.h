// ServerProcess for the Windows test programs, which run under wine: the
// servers are Python programs on the Linux side. Wine starts a Linux program
// when it is asked to create a process from one, but gives back no handle and
// no pipes; so the program runs under a small shell that writes the server's
// process id and first line of output into a folder of its own, and marks the
// server's end there. Arguments that are Windows paths (C:\...) are passed as
// the Linux paths wine maps them to.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

// The Linux side, seen from a program under wine.
namespace linux_side {

inline std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

inline bool IsWindowsPath(const std::string& s) {
  return s.size() >= 3 && std::isalpha(static_cast<unsigned char>(s[0])) && s[1] == ':' &&
         (s[2] == '\\' || s[2] == '/');
}

// The Linux path wine maps a Windows path to; empty when there is none.
inline std::string UnixPath(const std::wstring& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<Convert>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unix = convert(path.c_str());
  if (unix == nullptr) return {};
  std::string out = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return out;
}

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Starts `script` under the Linux shell, without waiting for it.
inline bool Spawn(const std::string& script) {
  // The command line wine splits into the Linux program's arguments.
  std::wstring line = L"/bin/sh -c \"";
  for (char c : script) {
    if (c == '"' || c == '\\') line += L'\\';
    line += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  line += L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  if (pi.hThread) ::CloseHandle(pi.hThread);
  if (pi.hProcess) ::CloseHandle(pi.hProcess);
  return true;
}

template <typename Done>
bool Wait(Done done) {
  // A generous bound: starting an interpreter on a loaded machine is slow.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace linux_side

class ServerProcess {
 public:
  explicit ServerProcess(const std::vector<std::string>& argv) {
    ::SetEnvironmentVariableW(L"no_proxy", L"127.0.0.1,localhost");
    const std::string ctl = linux_side::UnixPath(m_control.Path().wstring());
    if (ctl.empty()) return;
    std::string command;
    for (const auto& arg : argv) command += linux_side::Quote(linux_side::IsWindowsPath(arg) ? linux_side::UnixPath(linux_side::Wide(arg)) : arg) + " ";
    const std::string script = command + "> " + linux_side::Quote(ctl + "/port") + " & echo $! > " + linux_side::Quote(ctl + "/pid") +
                               "; { wait $!; } 2>/dev/null; : > " + linux_side::Quote(ctl + "/gone");
    if (!linux_side::Spawn(script)) return;
    m_port = std::atoi(WaitForLine("port").c_str());
    m_pid = WaitForLine("pid");
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess() {
    if (m_pid.empty() || !linux_side::Spawn("kill " + m_pid)) return;
    linux_side::Wait([&] { return std::filesystem::exists(m_control / "gone"); });
  }

  // 0 when the server did not start.
  int Port() const { return m_port; }

 private:
  std::string WaitForLine(const std::string& name) const {
    std::string line;
    linux_side::Wait([&] {
      if (std::filesystem::exists(m_control / "gone")) return true;
      const std::string text = m_control.Read(name);
      const size_t end = text.find('\n');
      if (end == std::string::npos) return false;
      line = text.substr(0, end);
      return true;
    });
    return line;
  }

  TempDir m_control;
  int m_port = 0;
  std::string m_pid;
};
