// What a dialog window is built from: its frame, its font and its controls,
// placed in dialog units (see platform/window_layout.h). The window system
// turns a template into a window; the templates themselves live in res/.
#pragma once

#include <cstddef>
#include <span>

namespace platform {

enum class ControlKind { Label, ProgressBar, Button };

struct ControlTemplate {
  int id;
  ControlKind kind;
  const wchar_t* text;
  int x, y, cx, cy;  // dialog units
  bool visible;
  bool border;         // a thin frame around the control
  bool defaultButton;  // Return presses it
};

// One image of the window icon: a PNG of `size` x `size` pixels.
struct IconImage {
  int size;
  const unsigned char* png;
  std::size_t bytes;
};

struct DialogTemplate {
  int id;
  const wchar_t* caption;
  int cx, cy;  // client area, dialog units
  // The face named by the template; the window system substitutes a face it
  // has when the named one is missing (see platform/gui.h).
  const wchar_t* fontFace;
  int fontPoints;
  bool closeBox;     // the caption has a close box
  bool minimizeBox;  // the window can be minimised
  std::span<const ControlTemplate> controls;
  std::span<const IconImage> icons;  // empty: the window system's default
};

}  // namespace platform
