// Builds GTK windows from dialog templates and places them.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "platform/dialog_host.h"
#include "platform/dialog_template.h"
#include "platform/window_layout.h"

namespace platform::gui {

struct Control {
  int id;
  ControlKind kind;
  GtkWidget* widget;
  int low = 0, high = 100, pos = 0;  // progress bars
};

struct BuiltDialog {
  GtkWidget* window = nullptr;
  std::vector<Control> controls;
  BaseUnits base;
  int width = 0, height = 0;  // client area, pixels
};

// The face used for a template's face: the face itself when the machine has
// it, otherwise the installed CJK face.
std::string DialogFontFace(const std::wstring& templateFace);
// The font's character height in pixels for `points` on this screen.
int FontPixelHeight(int points);
BaseUnits MeasureBaseUnits(GtkWidget* widget, const std::string& face, int pixelHeight);

// A hidden top-level window with the template's caption, frame, font and
// controls at their places; not resizable.
BuiltDialog BuildDialog(const DialogTemplate& dialog, GtkWindowType type);

// Every image of the template's icon, for the window manager to pick from.
void SetWindowIcons(GtkWindow* window, std::span<const IconImage> icons);

// Handle of the control at `index` in BuiltDialog::controls, and back.
ControlHandle HandleOf(std::size_t index);
Control* ControlOf(BuiltDialog& dialog, ControlHandle handle);
ControlHandle FindControl(const BuiltDialog& dialog, int id);

void SetText(Control& control, const std::wstring& text);

// Centres `window` (client area width x height) over `centre` when that is
// shown and not minimised, else over the work area of its monitor; inside
// that work area. Leaves the window where it is when no monitor is known.
void CenterOver(GtkWindow* window, int width, int height, GtkWindow* centre);

}  // namespace platform::gui
