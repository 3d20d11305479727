// A real child process for a test: started from a given executable with its
// standard output on a pipe, so the test can wait for the line by which the
// child says it is ready. A child still running when the object goes is
// killed and reaped.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (m_pid > 0 && !m_reaped) {
      ::kill(m_pid, SIGKILL);
      int status = 0;
      ::waitpid(m_pid, &status, 0);
    }
    if (m_out >= 0) ::close(m_out);
  }

  // Starts `program` with `args` (argv[0] is the program's path).
  bool Start(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    m_out = fds[0];
    if (rc != 0) m_pid = 0;
    return rc == 0;
  }

  pid_t Pid() const { return m_pid; }

  // Reads the child's output until a line equal to `line` has arrived; false
  // when the output ends or `limit` passes first.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      for (size_t eol; (eol = m_buffer.find('\n')) != std::string::npos;) {
        const std::string got = m_buffer.substr(0, eol);
        m_buffer.erase(0, eol + 1);
        if (got == line) return true;
      }
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return false;
      pollfd p{m_out, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char buf[256];
      const ssize_t n = ::read(m_out, buf, sizeof buf);
      if (n <= 0) return false;
      m_buffer.append(buf, static_cast<size_t>(n));
    }
  }

  // True once the child has ended (a zombie included); does not reap it.
  bool HasEnded() const {
    siginfo_t info{};
    return m_reaped || (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                        info.si_pid == m_pid);
  }

  // Waits up to `limit` for the child to end and reaps it: its wait status,
  // or nothing when it still runs.
  std::optional<int> Reap(std::chrono::milliseconds limit) {
    if (m_reaped) return m_status;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        m_status = status;
        return status;
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      ::usleep(10000);
    }
  }

 private:
  pid_t m_pid = 0;
  int m_out = -1;
  std::string m_buffer;
  bool m_reaped = false;
  int m_status = 0;
};
