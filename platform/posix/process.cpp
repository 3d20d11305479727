// Processes on Linux: the list comes from /proc, the executable's name from
// /proc/<pid>/exe, a handle is a pidfd (so it names the process even after its
// identifier is reused), the polite close is the window manager's close request
// (WM_DELETE_WINDOW) to each of the process's X11 top-level windows, or SIGTERM
// when it has none, and the forced end is SIGKILL.
#include "platform/process.h"

// Taken before the X11 headers, whose macros include `None`.
namespace {
constexpr platform::ProcessHandle kNoProcess = platform::ProcessHandle::None;
}

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
// This header of the C library lacks the C linkage block in some releases.
extern "C" {
#include <sys/pidfd.h>
}
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "platform/text.h"

namespace platform {

namespace {

struct ProcessRecord {
  pid_t pid = 0;
  int pidfd = -1;  // -1 where the kernel has no pidfds; the pid is used then
};

ProcessRecord* Record(ProcessHandle handle) {
  return reinterpret_cast<ProcessRecord*>(static_cast<std::uintptr_t>(handle));
}
ProcessHandle Handle(ProcessRecord* record) {
  return static_cast<ProcessHandle>(reinterpret_cast<std::uintptr_t>(record));
}

bool ParsePid(const char* name, pid_t& pid) {
  if (*name == '\0') return false;
  long value = 0;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > INT_MAX) return false;
  }
  pid = static_cast<pid_t>(value);
  return pid > 0;
}

bool SendSignal(const ProcessRecord& r, int sig) {
  if (r.pidfd >= 0) return ::pidfd_send_signal(r.pidfd, sig, nullptr, 0) == 0;
  return ::kill(r.pid, sig) == 0;
}

// The process state letter from /proc/<pid>/stat; 0 when it cannot be read
// and 'X' when the entry is gone.
char ProcState(pid_t pid) {
  const std::string path = "/proc/" + std::to_string(pid) + "/stat";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ESRCH ? 'X' : 0;
  char buf[512];
  const ssize_t n = ::read(fd, buf, sizeof buf);
  ::close(fd);
  if (n <= 0) return n == 0 || errno == ESRCH ? 'X' : 0;
  // The command name in parentheses may itself hold ") ", so look from the end.
  const std::string_view line(buf, static_cast<size_t>(n));
  const size_t close = line.rfind(')');
  return close == std::string_view::npos || close + 2 >= line.size() ? 0 : line[close + 2];
}

bool HasEnded(const ProcessRecord& r) {
  if (r.pidfd >= 0) {
    pollfd p{r.pidfd, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
  }
  const char state = ProcState(r.pid);
  return state == 'Z' || state == 'X';
}

// --- X11 ----------------------------------------------------------------

// Windows may vanish while they are being looked at; the errors that causes
// on our own connection are expected and dropped. Errors on any other
// connection in the process (the dialog's toolkit has one) go to whoever
// handled them before us. The handler runs on the thread that made the
// failing request, so the connection in use is known per thread.
thread_local Display* t_ownDisplay = nullptr;
XErrorHandler g_previousHandler = nullptr;

int DropOwnErrors(Display* display, XErrorEvent* event) {
  if (display == t_ownDisplay) return 0;
  return g_previousHandler != nullptr ? g_previousHandler(display, event) : 0;
}

// A connection that breaks (the server going away mid-way) must not end the
// updater, as Xlib's default does; the requests on it then simply fail.
XIOErrorHandler g_previousIoHandler = nullptr;

int SurviveOwnIoErrors(Display* display) {
  if (display == t_ownDisplay) return 0;
  return g_previousIoHandler != nullptr ? g_previousIoHandler(display) : 0;
}

void KeepRunning(Display*, void*) {}

void InstallErrorHandlers(Display* display) {
  const XErrorHandler current = ::XSetErrorHandler(DropOwnErrors);
  if (current != DropOwnErrors) g_previousHandler = current;
  const XIOErrorHandler currentIo = ::XSetIOErrorHandler(SurviveOwnIoErrors);
  if (currentIo != SurviveOwnIoErrors) g_previousIoHandler = currentIo;
  ::XSetIOErrorExitHandler(display, KeepRunning, nullptr);
}

struct CloseRequest {
  Display* display;
  Atom netWmPid;
  Atom protocols;
  Atom deleteWindow;
  unsigned long pid;
  int sent = 0;
};

bool WindowPid(Display* d, Window w, Atom netWmPid, unsigned long& pid) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int rc = ::XGetWindowProperty(d, w, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data);
  const bool ok = rc == Success && type == XA_CARDINAL && format == 32 && count == 1 && data != nullptr;
  if (ok) pid = *reinterpret_cast<unsigned long*>(data);
  if (data != nullptr) ::XFree(data);
  return ok;
}

bool AcceptsDelete(Display* d, Window w, Atom deleteWindow) {
  Atom* protocols = nullptr;
  int count = 0;
  if (::XGetWMProtocols(d, w, &protocols, &count) == 0) return false;
  const bool accepts = std::find(protocols, protocols + count, deleteWindow) != protocols + count;
  ::XFree(protocols);
  return accepts;
}

// Visits the top-level windows below `w`: its children, and where a window
// manager has put a frame around a client window, the clients inside the
// frames.
void VisitChildren(CloseRequest& req, Window w, int depth) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (::XQueryTree(req.display, w, &root, &parent, &children, &count) == 0) return;
  for (unsigned i = 0; i < count; ++i) {
    unsigned long pid = 0;
    if (WindowPid(req.display, children[i], req.netWmPid, pid) && pid == req.pid) {
      if (!AcceptsDelete(req.display, children[i], req.deleteWindow)) continue;
      XEvent ev{};
      ev.xclient.type = ClientMessage;
      ev.xclient.window = children[i];
      ev.xclient.message_type = req.protocols;
      ev.xclient.format = 32;
      ev.xclient.data.l[0] = static_cast<long>(req.deleteWindow);
      ev.xclient.data.l[1] = CurrentTime;
      if (::XSendEvent(req.display, children[i], False, NoEventMask, &ev) != 0) ++req.sent;
    } else if (depth < 2) {
      VisitChildren(req, children[i], depth + 1);
    }
  }
  if (children != nullptr) ::XFree(children);
}

// Sends the close request to every top-level window of `pid` that takes it.
// The number of windows it went to; 0 also when no display can be opened.
int CloseWindowsOf(pid_t pid) {
  Display* display = ::XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  t_ownDisplay = display;
  InstallErrorHandlers(display);
  CloseRequest req{display, ::XInternAtom(display, "_NET_WM_PID", True), ::XInternAtom(display, "WM_PROTOCOLS", False),
                   ::XInternAtom(display, "WM_DELETE_WINDOW", False), static_cast<unsigned long>(pid)};
  // Without the atom no window has ever named its process.
  if (req.netWmPid != None)
    for (int s = 0; s < ScreenCount(display); ++s) VisitChildren(req, RootWindow(display, s), 1);
  ::XSync(display, False);
  ::XCloseDisplay(display);
  t_ownDisplay = nullptr;
  return req.sent;
}

}  // namespace

bool ListProcessIds(std::vector<ProcessId>& ids) {
  ids.clear();
  DIR* dir = ::opendir("/proc");
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) {
    pid_t pid = 0;
    if (ParsePid(entry->d_name, pid)) ids.push_back(static_cast<ProcessId>(pid));
  }
  ::closedir(dir);
  std::sort(ids.begin(), ids.end());
  return !ids.empty();
}

ProcessId CurrentProcessId() { return static_cast<ProcessId>(::getpid()); }

ProcessHandle OpenProcessForClose(ProcessId id) {
  if (id == 0 || id > static_cast<ProcessId>(INT_MAX)) return kNoProcess;
  const int pidfd = ::pidfd_open(static_cast<pid_t>(id), 0);
  const bool noPidfds = pidfd < 0 && errno == ENOSYS;
  auto* record = new ProcessRecord{static_cast<pid_t>(id), pidfd};
  // Signal 0 checks that this process may signal that one, without sending.
  if ((record->pidfd < 0 && !noPidfds) || !SendSignal(*record, 0)) {
    CloseProcessHandle(Handle(record));
    return kNoProcess;
  }
  return Handle(record);
}

std::wstring ProcessExecutableName(ProcessHandle process) {
  const ProcessRecord* r = Record(process);
  if (r == nullptr) return {};
  const std::string link = "/proc/" + std::to_string(r->pid) + "/exe";
  std::string target(PATH_MAX, '\0');
  const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<size_t>(n) >= target.size()) return {};
  target.resize(static_cast<size_t>(n));
  // An executable replaced or removed while it runs is listed with this
  // suffix; it is still the same program.
  static const std::string kDeleted = " (deleted)";
  struct stat st {};
  if (target.size() > kDeleted.size() && target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0 &&
      ::stat(target.c_str(), &st) != 0)
    target.resize(target.size() - kDeleted.size());
  const size_t slash = target.rfind('/');
  return AnsiToWide(slash == std::string::npos ? target : target.substr(slash + 1));
}

void AskProcessToClose(ProcessHandle process) {
  const ProcessRecord* r = Record(process);
  if (r == nullptr || HasEnded(*r)) return;
  if (CloseWindowsOf(r->pid) == 0) SendSignal(*r, SIGTERM);
}

bool WaitForProcessEnd(ProcessHandle process, std::uint32_t milliseconds) {
  const ProcessRecord* r = Record(process);
  if (r == nullptr) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (HasEnded(*r)) return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    if (r->pidfd >= 0) {
      pollfd p{r->pidfd, POLLIN, 0};
      const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
      if (rc < 0 && errno != EINTR) return false;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 10)));
    }
  }
}

bool ForceEndProcess(ProcessHandle process, std::uint32_t) {
  const ProcessRecord* r = Record(process);
  return r != nullptr && SendSignal(*r, SIGKILL);
}

bool IsProcessActive(ProcessHandle process) {
  const ProcessRecord* r = Record(process);
  return r == nullptr || !HasEnded(*r);
}

void CloseProcessHandle(ProcessHandle process) {
  ProcessRecord* r = Record(process);
  if (r == nullptr) return;
  if (r->pidfd >= 0) ::close(r->pidfd);
  delete r;
}

}  // namespace platform
