#include "platform/posix/gui_loop.h"

#include <gtk/gtk.h>

#include "platform/gui.h"

namespace platform {

namespace {

int g_depth = 0;
bool g_quit = false;
int g_quitCode = 0;

}  // namespace

bool InitWindowSystem() {
  // Placement, the main program's shutdown and the tests all speak X11; under
  // a Wayland session GTK would otherwise ignore every position we set.
  gdk_set_allowed_backends("x11");
  // No arguments of our own: the program takes none.
  return gtk_init_check(nullptr, nullptr);
}

int RunMessageLoop() {
  while (!g_quit) g_main_context_iteration(nullptr, TRUE);
  return g_quitCode;
}

namespace gui {

int LoopDepth() { return g_depth; }

void RunNestedLoop(const std::function<bool()>& done) {
  ++g_depth;
  while (!g_quit && !done()) g_main_context_iteration(nullptr, TRUE);
  --g_depth;
}

void RequestQuit(int code) {
  if (g_quit) return;
  g_quit = true;
  g_quitCode = code;
  // A loop blocked in its iteration wakes up and sees the request.
  g_main_context_wakeup(nullptr);
}

bool QuitRequested() { return g_quit; }

}  // namespace gui

}  // namespace platform
