// Opening a file the way the desktop's shell would.
#pragma once

#include <string>

namespace platform::gui {

// An executable regular file is started as a program of its own: in the
// current directory, in a new session, with its standard streams on
// /dev/null and none of our other descriptors, so that it outlives us and
// holds nothing of ours. Any other file goes to the desktop's default
// application for it. False when nothing could be started.
bool OpenWithShell(const std::wstring& file);

}  // namespace platform::gui
