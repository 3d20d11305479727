// The program's run: the window system, the main dialog and its loop, in the
// order that start-up and shut-down need. The window system itself lives in
// platform/gui.h.
#pragma once

// Runs the updater once and returns the process's exit code: 2 after a
// normal end or a failure box, 1 after Return in the idle dialog, 0 after a
// configuration error or when no window could be made.
int AppMain();
