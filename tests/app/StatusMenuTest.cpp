// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/StatusMenu.h"

#include <gtest/gtest.h>

#include <set>

#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

using Item = StatusMenu::Item;

struct Shell {
  Shell() {
    for (const char* name : {"toggleOpacity", "openURL", "openPlaylist", "openWatchHistory",
                             "openFeedback", "openRecentVideo"}) {
      tokens.push_back(center.addObserver(name, [this](const Notification& notification) {
        posted.push_back(notification.name);
        if (const auto* time = notification.value<double>("time")) {
          requestedTime = *time;
        }
        requestedSource = notification.value<std::string>("sourceURL") != nullptr;
      }));
    }
  }

  const Item& find(const std::vector<Item>& items, const std::string& title) {
    for (const Item& item : items) {
      if (item.title == title) {
        return item;
      }
    }
    ADD_FAILURE() << "no item " << title;
    static const Item none;
    return none;
  }

  MemoryDefaults defaults;
  NotificationCenter center;
  AppSettings settings{defaults, center, [] { return Date{1000}; }};
  std::vector<std::string> opened;
  PlayerCommands commands{settings, center,
                          [this](std::string_view window) { opened.emplace_back(window); }};
  int activated = 0;
  int quits = 0;
  StatusMenu menu{{.settings = settings,
                   .center = center,
                   .commands = commands,
                   .activate = [this] { ++activated; },
                   .checkForUpdates = {},
                   .quit = [this] { ++quits; }}};
  std::vector<std::string> posted;
  double requestedTime = -1;
  bool requestedSource = false;
  std::vector<ObserverToken> tokens;
};

std::vector<std::string> titles(const std::vector<Item>& items) {
  std::vector<std::string> result;
  for (const Item& item : items) {
    result.push_back(item.kind == Item::Kind::separator ? "-" : item.title);
  }
  return result;
}

TEST(PlayerCommands, SwitchesFlipInTheStoreAndButtonsPostOrOpenWindows) {
  Shell shell;
  const bool before = shell.settings.alwaysOnTopEnabled();
  shell.commands.perform(PlayerCommands::Id::alwaysOnTop);
  EXPECT_EQ(shell.settings.alwaysOnTopEnabled(), !before);
  EXPECT_EQ(shell.commands.state(PlayerCommands::Id::alwaysOnTop), !before);
  EXPECT_EQ(shell.commands.state(PlayerCommands::Id::openURL), std::nullopt);

  shell.commands.perform(PlayerCommands::Id::toggleOpacity);
  shell.commands.perform(PlayerCommands::Id::openPlaylist);
  shell.commands.perform(PlayerCommands::Id::openURL);
  shell.commands.perform(PlayerCommands::Id::openWatchHistory);
  EXPECT_EQ(shell.posted, (std::vector<std::string>{"toggleOpacity", "openPlaylist", "openURL"}));
  EXPECT_EQ(shell.opened, std::vector<std::string>{"watch-history"});

  // Ctrl+L belongs to the keep-on-top switch and Ctrl+O to the link prompt; "p" is shared by
  // opacity and, with Shift, the playlist.
  EXPECT_EQ(PlayerCommands::command(PlayerCommands::Id::alwaysOnTop).accelerator, "<Control>l");
  EXPECT_EQ(PlayerCommands::command(PlayerCommands::Id::openURL).accelerator, "<Control>o");
  std::set<std::string_view> accelerators;
  for (const auto& command : PlayerCommands::all()) {
    EXPECT_TRUE(command.accelerator.empty() || accelerators.insert(command.accelerator).second)
        << command.accelerator;
  }
}

TEST(StatusMenu, ListsItsEntriesInOrderWithCheckMarksThatFollowTheSwitches) {
  Shell shell;
  EXPECT_EQ(
      titles(shell.menu.items()),
      (std::vector<std::string>{"Open URL...", "Open Watch History", "-", "Hover Transparency",
                                "Always On Top", "Follow AeroSpace Workspaces", "80% Transparency",
                                "Lock 16:9 While Resizing", "Recent Videos", "Statistics",
                                "Send Feedback…", "Check for Updates…", "-", "Quit"}));
  int changes = 0;
  auto token = shell.menu.observeChanges([&] { ++changes; });
  // The switch changes elsewhere (the player window's own button); the menu follows.
  shell.settings.setEnabled(AppSettings::Switch::eightyTransparency, true);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(shell.find(shell.menu.items(), "80% Transparency").checked, true);
  // Chosen from the menu, it flips through the store.
  shell.menu.perform(shell.find(shell.menu.items(), "80% Transparency"));
  EXPECT_EQ(shell.find(shell.menu.items(), "80% Transparency").checked, false);
  EXPECT_EQ(changes, 2);

  // The bridge opens the windows the menu asks for.
  WindowCommandBridge bridge(shell.center,
                             [&](std::string_view window) { shell.opened.emplace_back(window); });
  shell.menu.perform(shell.find(shell.menu.items(), "Open Watch History"));
  shell.menu.perform(shell.find(shell.menu.items(), "Send Feedback…"));
  shell.menu.perform(shell.find(shell.menu.items(), "Quit"));
  EXPECT_EQ(shell.activated, 2);
  EXPECT_EQ(shell.posted, (std::vector<std::string>{"openWatchHistory", "openFeedback"}));
  EXPECT_EQ(shell.opened, (std::vector<std::string>{"watch-history", "feedback"}));
  EXPECT_EQ(shell.quits, 1);
  // No updater given: choosing the entry does nothing rather than fail.
  shell.menu.perform(shell.find(shell.menu.items(), "Check for Updates…"));
}

TEST(StatusMenu, RecentVideosPlayAndClearWhileTheStatisticsCount) {
  Shell shell;
  EXPECT_EQ(titles(shell.menu.recentVideosMenu()), std::vector<std::string>{"No Recent Videos"});
  EXPECT_FALSE(shell.menu.recentVideosMenu().front().enabled);

  shell.settings.recordRecentVideo("dQw4w9WgXcQ", "Talk", 95, std::nullopt);
  const auto recent = shell.menu.recentVideosMenu();
  EXPECT_EQ(titles(recent), (std::vector<std::string>{"Talk", "-", "Clear Recent Videos"}));
  EXPECT_EQ(titles(shell.find(shell.menu.items(), "Statistics").children)[0], "Recent Entries: 1");
  const auto history = titles(shell.menu.statisticsMenu())[1];

  shell.menu.perform(recent.front());
  EXPECT_EQ(shell.posted, std::vector<std::string>{"openRecentVideo"});
  EXPECT_EQ(shell.requestedTime, 95);
  EXPECT_FALSE(shell.requestedSource);

  shell.menu.perform(recent.back());
  EXPECT_EQ(titles(shell.menu.recentVideosMenu()), std::vector<std::string>{"No Recent Videos"});
  EXPECT_EQ(titles(shell.menu.statisticsMenu())[0], "Recent Entries: 0");
  EXPECT_EQ(titles(shell.menu.statisticsMenu())[1], history);
  EXPECT_EQ(titles(shell.menu.statisticsMenu())[2].rfind("Disk Usage: ", 0), 0u);
  // GLib keeps the number and its unit together with a no-break space.
  EXPECT_EQ(StatusMenu::formatSize(1200000), "1.2\u00a0MB");
}

}  // namespace
}  // namespace orvel
