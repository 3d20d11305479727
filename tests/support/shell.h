// Runs a command of the Linux shell for a test and waits for it: tools such as
// openssl live there, also for the Windows test programs, which run under wine.
// Paths inside the command go through ShellPath.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include "support/win32/server_process.h"
#else
#include <cstdlib>
#endif

inline std::string ShellPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return linux_side::UnixPath(path.wstring());
#else
  return path.string();
#endif
}

// The command's exit status; nonzero when it could not be run.
inline int RunShell(const std::string& command) {
#ifdef _WIN32
  TempDir control;
  const std::string rc = linux_side::UnixPath((control / "rc").wstring());
  if (rc.empty() || !linux_side::Spawn("(" + command + "); echo $? > " + linux_side::Quote(rc + ".tmp") + "; mv " +
                                       linux_side::Quote(rc + ".tmp") + " " + linux_side::Quote(rc)))
    return -1;
  if (!linux_side::Wait([&] { return std::filesystem::exists(control / "rc"); })) return -1;
  return std::atoi(control.Read("rc").c_str());
#else
  return std::system(command.c_str());
#endif
}
