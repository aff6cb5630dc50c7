// SPDX-License-Identifier: GPL-3.0-or-later

#include "chrome/WindowGeometry.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

using namespace WindowGeometry;

const Screen kLaptop{Rect{0, 0, 1440, 900}};
const Screen kRight{Rect{1440, 0, 1920, 1080}};

TEST(WindowGeometry, AWindowWiderThanTheScreenShrinksToTheAreaAtItsLeftEdge) {
  Rect area = allowedArea(kLaptop, kScreenMargin);
  EXPECT_EQ(area, (Rect{12, 12, 1416, 876}));
  Rect clamped = clampToVisibleScreen(Rect{100, 100, 2000, 500}, area, false);
  EXPECT_EQ(clamped, (Rect{12, 100, 1416, 500}));
}

TEST(WindowGeometry, AWindowOffEveryScreenIsCentredOnlyWhenAsked) {
  std::vector<Screen> screens{kLaptop, kRight};
  Rect lost{5000, 3000, 400, 300};
  ASSERT_EQ(bestScreen(screens, lost), 0u);
  Rect area = allowedArea(screens[0], kScreenMargin);
  EXPECT_EQ(clampToVisibleScreen(lost, area, true), (Rect{520, 300, 400, 300}));
  EXPECT_EQ(clampToVisibleScreen(lost, area, false), (Rect{1028, 588, 400, 300}));
}

TEST(WindowGeometry, TheScreenWithTheLargestOverlapWinsAndTheEarlierOnATie) {
  std::vector<Screen> screens{kLaptop, kRight};
  EXPECT_EQ(bestScreen(screens, Rect{1400, 100, 400, 300}), 1u);
  EXPECT_EQ(bestScreen(screens, Rect{1340, 100, 200, 300}), 0u);
  EXPECT_FALSE(bestScreen({}, Rect{0, 0, 10, 10}));
}

TEST(WindowGeometry, AMarginLargerThanAQuarterIsCapped) {
  Rect area = allowedArea(Screen{Rect{0, 0, 200, 100}}, 80);
  EXPECT_EQ(area, (Rect{50, 25, 100, 50}));
  EXPECT_EQ(allowedArea(kLaptop, -5), kLaptop.visibleFrame);
}

TEST(WindowGeometry, FramesSurviveTheirStoredNotation) {
  Rect frame{-12.5, 40, 1024, 576};
  EXPECT_EQ(rectangleString(frame), "{{-12.5, 40}, {1024, 576}}");
  EXPECT_EQ(parseRectangle(rectangleString(frame)), frame);
  EXPECT_EQ(parseRectangle("{{1,2},{3,4}}"), (Rect{1, 2, 3, 4}));
  for (const char* text : {"", "{{1, 2}, {3}}", "{{1, 2}, {3, 4}} x", "1 2 3 4", "{{a, 2}, {3, 4}}",
                           "{{1e999, 2}, {3, 4}}", "{{nan, 2}, {3, 4}}"}) {
    EXPECT_FALSE(parseRectangle(text)) << text;
  }
}

TEST(WindowGeometry, SixteenByNineRoundsHalvesUp) {
  EXPECT_EQ(lockedHeight(1000), 563);
  EXPECT_EQ(lockedHeight(800), 450);
  EXPECT_EQ(centerOnVisibleScreen(Rect{0, 0, 1024, 576}, Rect{0, 0, 1440, 900}),
            (Rect{208, 162, 1024, 576}));
}

}  // namespace
}  // namespace orvel
