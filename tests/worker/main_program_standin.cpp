// Stands in for the main program in the shutdown tests. The tests copy it to a
// folder of their own under the main program's file name and start it there.
// It prints "ready" once it can be closed, then waits to be closed. Modes:
//   window-closes    an X11 top-level window; exits 0 on WM_DELETE_WINDOW
//   window-ignores   the same window, which ignores WM_DELETE_WINDOW
//   term-ignored     no window; ignores SIGTERM
//   term-ends        no window; SIGTERM ends it
// With "framed" after a window mode, it is ready only once a window manager
// has put its window into a frame.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

void Ready() {
  std::printf("ready\n");
  std::fflush(stdout);
}

int RunWindow(bool closes, bool framed) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "no display\n");
    return 2;
  }
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 200, 100, 0, 0, 0);
  // Raw Xlib does not name the window's process; the close request finds
  // windows by this property.
  const unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, w, &deleteWindow, 1);
  XStoreName(d, w, "Norvane");
  XSelectInput(d, w, StructureNotifyMask);
  XMapWindow(d, w);
  XSync(d, False);
  for (XEvent ev; framed;) {
    XNextEvent(d, &ev);
    framed = ev.type != ReparentNotify;
  }
  Ready();
  for (;;) {
    XEvent ev;
    XNextEvent(d, &ev);
    if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == deleteWindow && closes) {
      XCloseDisplay(d);
      return 0;
    }
  }
}

int RunWithoutWindow(bool ignoreTerm) {
  if (ignoreTerm) signal(SIGTERM, SIG_IGN);
  Ready();
  for (;;) pause();
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  const bool framed = argc > 2 && std::strcmp(argv[2], "framed") == 0;
  if (std::strcmp(mode, "window-closes") == 0) return RunWindow(true, framed);
  if (std::strcmp(mode, "window-ignores") == 0) return RunWindow(false, framed);
  if (std::strcmp(mode, "term-ignored") == 0) return RunWithoutWindow(true);
  if (std::strcmp(mode, "term-ends") == 0) return RunWithoutWindow(false);
  std::fprintf(stderr, "unknown mode %s\n", mode);
  return 2;
}
