// Runs a test program in a process namespace of its own, where it sees only
// the processes it starts itself. Tests that look for every running process
// of some name (and end it) then neither find nor harm processes of the same
// name that other test runs on the machine have started.
//
// Call first thing in main: it re-executes the program under unshare(1) with
// a private process list (/proc) and returns only when that is not possible
// (not root, no unshare) or already done; the program then runs as it is.
#pragma once

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

inline void RunWithPrivateProcesses(int argc, char** argv) {
  static const char kMarker[] = "UPDATER_PRIVATE_PROCESSES";
  if (std::getenv(kMarker) != nullptr || ::geteuid() != 0 || ::access("/usr/bin/unshare", X_OK) != 0) return;
  char self[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return;
  self[n] = '\0';
  ::setenv(kMarker, "1", 1);
  std::vector<std::string> args = {"unshare", "--pid", "--fork", "--mount-proc", "--kill-child", self};
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  std::vector<char*> raw;
  for (auto& a : args) raw.push_back(a.data());
  raw.push_back(nullptr);
  ::execv("/usr/bin/unshare", raw.data());
  ::unsetenv(kMarker);  // not re-executed: run here
}
