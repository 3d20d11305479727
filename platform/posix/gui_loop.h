// The GTK side of the thread's loops, shared by the dialogs and the boxes.
#pragma once

#include <functional>

namespace platform::gui {

// Nesting of the loops now running: 0 in the outermost loop (and before it
// runs), one more inside each box or modal dialog.
int LoopDepth();

// Runs a nested loop until `done` or a quit request. `done` is checked before
// every iteration, so whatever ended the loop is the last thing it handled.
void RunNestedLoop(const std::function<bool()>& done);

void RequestQuit(int code);
bool QuitRequested();

}  // namespace platform::gui
