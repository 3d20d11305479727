// A server program run as a child process for one test: started with its
// arguments, asked for the port it prints as its first line, and ended (and
// waited for) when the object goes.
#pragma once

#ifdef _WIN32
#include "support/win32/server_process.h"
#else

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

class ServerProcess {
 public:
  explicit ServerProcess(const std::vector<std::string>& argv) {
    // The servers live on loopback; a proxy from the environment must not
    // stand between them and the client.
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);

    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (m_pid > 0) m_port = ReadPort(fds[0]);
    ::close(fds[0]);
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
  }

  // 0 when the server did not start.
  int Port() const { return m_port; }

 private:
  static int ReadPort(int fd) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    // A generous bound: starting an interpreter on a loaded machine is slow.
    while (::poll(&p, 1, 60000) > 0 && ::read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
    return std::atoi(line.c_str());
  }

  pid_t m_pid = -1;
  int m_port = 0;
};

#endif
