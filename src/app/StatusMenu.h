// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/PlayerCommands.h"
#include "core/NotificationCenter.h"
#include "core/ObserverList.h"
#include "settings/AppSettings.h"

namespace orvel {

// The program's status-bar menu, as entries: quick switches, the recent videos, statistics,
// feedback, updates and quitting. The tray and the player window's own menu draw these entries
// and hand the chosen one back to `perform`.
class StatusMenu {
 public:
  static constexpr std::size_t kRecentLimit = 20;

  enum class Action {
    none,
    openURL,
    openWatchHistory,
    toggle,
    openRecent,
    clearRecent,
    openFeedback,
    checkForUpdates,
    quit,
  };

  struct Item {
    enum class Kind { item, separator, submenu };
    Kind kind = Kind::item;
    std::string title;
    // A GTK accelerator, "" for none.
    std::string accelerator;
    // The symbol drawn beside the title, "" for none.
    std::string symbol;
    Action action = Action::none;
    // The switch a toggle flips; its check mark.
    std::optional<PlayerCommands::Id> command;
    std::optional<bool> checked;
    bool enabled = true;
    // For a recent video: the request it makes when chosen.
    std::string videoID;
    double time = 0;
    std::optional<std::string> sourceURL;
    std::vector<Item> children;
  };

  struct Dependencies {
    AppSettings& settings;
    NotificationCenter& center;
    PlayerCommands& commands;
    // Brings the program to the front before a window of it opens.
    std::function<void()> activate;
    std::function<void()> checkForUpdates;
    std::function<void()> quit;
  };

  explicit StatusMenu(Dependencies dependencies);

  // The whole menu as it stands now.
  std::vector<Item> items() const;
  std::vector<Item> recentVideosMenu() const;
  std::vector<Item> statisticsMenu() const;
  void perform(const Item& item);

  // Told whenever a check mark, the recent videos or the statistics change.
  [[nodiscard]] ObserverToken observeChanges(std::function<void()> observer);

  // The disk usage in the file-size style of the desktop: "1.2 MB", with a no-break space.
  static std::string formatSize(std::uint64_t bytes);

 private:
  Dependencies deps_;
  ObserverList<> changes_;
  std::vector<ObserverToken> observers_;
};

}  // namespace orvel
