// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "chrome/WindowGeometry.h"
#include "player/PlayerPageScripts.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

// Numbers the player writes for its page scripts and its stored window frame keep a decimal point
// under a locale that writes a decimal comma: "seek(12,5)" would be two arguments to the page,
// and a frame stored as "{{12,5, …" would not read back.
TEST(LocaleNumbers, PageScriptsAndStoredFramesKeepAPointUnderACommaLocale) {
  TemporaryFolder folder;
  const std::string locales = folder.file("locales");
  const std::string command =
      "localedef -i fr_FR -f UTF-8 '" + locales + "/fr_FR.UTF-8' >/dev/null 2>&1";
  if (std::system(("mkdir -p '" + locales + "' && " + command).c_str()) == -1) {
    GTEST_SKIP() << "no shell";
  }
  ::setenv("LOCPATH", locales.c_str(), 1);
  if (!std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    ::unsetenv("LOCPATH");
    GTEST_SKIP() << "localedef could not make a French locale";
  }
  EXPECT_EQ(PlayerPageScripts::jsNumber(12.5), "12.5");
  EXPECT_EQ(PlayerPageScripts::jsNumber(0.1), "0.1");
  EXPECT_EQ(PlayerPageScripts::jsNumber(3), "3.0");
  const Rect frame{12.5, 40, 640.25, 360};
  EXPECT_EQ(WindowGeometry::rectangleString(frame), "{{12.5, 40}, {640.25, 360}}");
  const auto read = WindowGeometry::parseRectangle(WindowGeometry::rectangleString(frame));
  std::setlocale(LC_NUMERIC, "C");
  ::unsetenv("LOCPATH");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->x, 12.5);
  EXPECT_EQ(read->width, 640.25);
}

}  // namespace
}  // namespace orvel
