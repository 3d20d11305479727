// Modal message boxes owned by a dialog window.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "platform/dialog_host.h"

namespace platform::gui {

// Shows a box with `text`, the caption `caption` and the buttons "确定" or
// "是"/"否" (the first one the default, taken by Return), over `owner`, and
// runs a nested loop until it is answered. Closing the box answers kIdNo for
// Yes/No and kIdOk for OK. Returns 0 when no box can be shown, or when the
// owner is destroyed or the loop is told to quit while the box is open.
int RunMessageBox(GtkWindow* owner, const std::wstring& text, const std::wstring& caption, MessageButtons buttons);

}  // namespace platform::gui
