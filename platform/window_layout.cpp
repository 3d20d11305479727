#include "platform/window_layout.h"

#include <cstdint>

namespace platform {

int MulDiv(int a, int b, int c) {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = (c < 0 ? -c : c) / 2;
  const bool negative = (product < 0) != (c < 0);
  const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (c < 0 ? -c : c);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

int AverageCharWidth(int widthOfTheAlphabets) { return (widthOfTheAlphabets / 26 + 1) / 2; }

int DialogUnitsToPixelsX(int units, const BaseUnits& base) { return MulDiv(units, base.cx, 4); }
int DialogUnitsToPixelsY(int units, const BaseUnits& base) { return MulDiv(units, base.cy, 8); }

Point CenteredPosition(int width, int height, const std::optional<Rect>& centre, const Rect& area) {
  const Rect& target = centre ? *centre : area;
  // Each halving truncates toward zero, as the window system's own does.
  int left = (target.left + target.right) / 2 - width / 2;
  int top = (target.top + target.bottom) / 2 - height / 2;
  if (left + width > area.right) left = area.right - width;
  if (left < area.left) left = area.left;
  if (top + height > area.bottom) top = area.bottom - height;
  if (top < area.top) top = area.top;
  return {left, top};
}

}  // namespace platform
