// SPDX-License-Identifier: GPL-3.0-or-later

#include "chrome/PlayerSymbols.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace orvel {
namespace {

// The icon theme GTK depends on (Adwaita), or the player's own icons.
bool iconExists(std::string_view icon) {
  const std::string file = std::string(icon) + ".svg";
  for (const std::string& folder : {std::string(ORVEL_SOURCE_DIR) + "/resources/icons",
                                    std::string("/usr/share/icons/Adwaita")}) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
      if (entry.path().filename() == file) {
        return true;
      }
    }
  }
  return false;
}

TEST(PlayerSymbols, EverySymbolHasAnIconThatIsThere) {
  for (const auto& [symbol, icon] : PlayerSymbols::kIcons) {
    EXPECT_TRUE(iconExists(icon)) << symbol << " -> " << icon;
  }
  EXPECT_EQ(PlayerSymbols::iconName("play.fill"), "media-playback-start-symbolic");
  EXPECT_EQ(PlayerSymbols::iconName("no.such.symbol"), "image-missing");
}

}  // namespace
}  // namespace orvel
