// Dialog units and centring: the arithmetic that places every dialog.
#include "platform/window_layout.h"

#include <gtest/gtest.h>

namespace {

using platform::CenteredPosition;
using platform::Rect;

TEST(WindowLayout, DialogUnitsRoundLikeTheWindowSystem) {
  // 9 pt SimSun on a 96 dpi screen: 6 x 12 pixels per character.
  const platform::BaseUnits simsun{6, 12};
  EXPECT_EQ(platform::DialogUnitsToPixelsX(318, simsun), 477);
  EXPECT_EQ(platform::DialogUnitsToPixelsY(121, simsun), 182);  // 181.5 rounds up
  EXPECT_EQ(platform::MulDiv(-7, 3, 2), -11);                    // halves away from zero
  EXPECT_EQ(platform::MulDiv(7, -3, 2), -11);
  // A 52-letter run 312 pixels wide averages 6 pixels a letter.
  EXPECT_EQ(platform::AverageCharWidth(312), 6);
  EXPECT_EQ(platform::AverageCharWidth(338), 7);
}

TEST(WindowLayout, CentresInsideTheWorkArea) {
  const Rect area{0, 0, 1024, 740};
  struct Case {
    const char* what;
    int width, height;
    std::optional<Rect> centre;
    Rect area;
    int left, top;
  };
  const Case cases[] = {
      {"on the work area", 477, 182, std::nullopt, area, 274, 279},
      {"one pixel too large", 101, 51, std::nullopt, {0, 0, 100, 50}, 0, 0},
      {"over a centre window", 200, 100, Rect{100, 100, 500, 300}, area, 200, 150},
      {"pushed left from the right edge", 300, 100, Rect{900, 100, 1020, 200}, area, 724, 100},
      {"pushed down from the top edge", 200, 300, Rect{100, 0, 300, 40}, area, 100, 0},
      {"pushed up from the bottom edge", 200, 300, Rect{100, 700, 300, 740}, area, 100, 440},
      {"larger than the area: top-left wins", 2000, 1000, std::nullopt, area, 0, 0},
      {"larger than an offset area", 2000, 1000, std::nullopt, {1024, 30, 2048, 768}, 1024, 30},
      {"negative coordinates truncate toward zero", 10, 10, Rect{-5, -5, 0, 0}, {-100, -100, 100, 100}, -7, -7},
  };
  for (const Case& c : cases) {
    const platform::Point p = CenteredPosition(c.width, c.height, c.centre, c.area);
    EXPECT_EQ(p.x, c.left) << c.what;
    EXPECT_EQ(p.y, c.top) << c.what;
  }
}

}  // namespace
