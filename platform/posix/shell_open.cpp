#include "platform/posix/shell_open.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"

extern char** environ;

namespace platform::gui {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool SpawnDetached(const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  for (int fd = 0; fd <= 2; ++fd) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  // A new session: the program is no longer part of our process group, so
  // what ends us (a terminal hang-up, a kill of our group) leaves it running.
  // Signals start as a fresh program would have them.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  // A bare file name names a file in the current directory, never one on
  // the search path.
  const std::string program = path.find('/') == std::string::npos ? "./" + path : path;
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0;
}

}  // namespace

bool OpenWithShell(const std::wstring& file) {
  const std::string path = WideToAnsi(file);
  if (path.empty()) return false;
  if (IsExecutableFile(path)) return SpawnDetached(path);

  GFile* g = g_file_new_for_path(path.c_str());
  char* uri = g_file_get_uri(g);
  const gboolean ok = g_app_info_launch_default_for_uri(uri, nullptr, nullptr);
  g_free(uri);
  g_object_unref(g);
  return ok;
}

}  // namespace platform::gui
