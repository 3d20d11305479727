// Placement arithmetic of the window system, kept free of any window system
// so that it can be checked on its own: dialog units to pixels, and the
// position that centres a window over another window or over a work area.
#pragma once

#include <optional>

namespace platform {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct Point {
  int x = 0, y = 0;
};

// The dialog font's base units: the average character width and the
// character height in pixels. A dialog unit is a quarter of the width
// horizontally and an eighth of the height vertically.
struct BaseUnits {
  int cx = 0, cy = 0;
};

// Rounds a * b / c to the nearest integer, halves away from zero; c != 0.
int MulDiv(int a, int b, int c);

// The average character width as dialog templates count it: the width of
// "A".."Z" "a".."z" laid out in the font, per letter pair, rounded.
int AverageCharWidth(int widthOfTheAlphabets);

int DialogUnitsToPixelsX(int units, const BaseUnits& base);
int DialogUnitsToPixelsY(int units, const BaseUnits& base);

// Top-left corner for a window of `width` x `height`: centred over `centre`
// (or over `area` when there is no centre window), then pushed back inside
// `area`; when the window is larger than the area its top-left corner
// wins, so the caption stays reachable.
Point CenteredPosition(int width, int height, const std::optional<Rect>& centre, const Rect& area);

}  // namespace platform
