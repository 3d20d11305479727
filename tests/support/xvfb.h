// A private X server (Xvfb) for tests that need a display. It picks a free
// display number itself, is ready to accept connections when Start returns
// true, and DISPLAY names it for this process (and the children it starts)
// until the object goes, when the server is stopped and DISPLAY restored.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class Xvfb {
 public:
  Xvfb() = default;
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;
  ~Xvfb() { Stop(); }

  // Starts the server; false (with the reason in Error()) when it did not
  // come up within `limit`.
  bool Start(std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return Fail("pipe");
    // The server writes its display number to this descriptor once it is
    // listening.
    constexpr int kDisplayFd = 9;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], kDisplayFd);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(kDisplayFd), "-nolisten", "tcp",
                                     "-screen", "0", "800x600x24"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
      ::close(fds[0]);
      m_pid = 0;
      return Fail("Xvfb could not be started");
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string number;
    while (number.empty() || number.back() != '\n') {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(Left(deadline))) <= 0) break;
      char buf[32];
      const ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
    if (number.empty()) return Fail("Xvfb reported no display number");
    m_display = ":" + number;
    while (!Accepts(number)) {
      if (Left(deadline) <= 0) return Fail("Xvfb does not accept connections on " + m_display);
      ::usleep(20000);
    }
    if (const char* old = std::getenv("DISPLAY")) m_previous = old;
    ::setenv("DISPLAY", m_display.c_str(), 1);
    m_displaySet = true;
    return true;
  }

  void Stop() {
    if (m_pid <= 0) return;
    if (m_displaySet) {
      if (m_previous) {
        ::setenv("DISPLAY", m_previous->c_str(), 1);
      } else {
        ::unsetenv("DISPLAY");
      }
      m_displaySet = false;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i) ::usleep(10000);
    if (::waitpid(m_pid, &status, WNOHANG) == 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, &status, 0);
    }
    m_pid = 0;
  }

  const std::string& Display() const { return m_display; }
  const std::string& Error() const { return m_error; }

 private:
  static long long Left(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    return left < 0 ? 0 : left;
  }

  // The server takes a connection on its local socket.
  static bool Accepts(const std::string& number) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = "/tmp/.X11-unix/X" + number;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(s);
    return ok;
  }

  bool Fail(std::string why) {
    m_error = std::move(why);
    Stop();
    return false;
  }

  pid_t m_pid = 0;
  std::string m_display;
  std::string m_error;
  std::optional<std::string> m_previous;
  bool m_displaySet = false;
};
