// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/StatusMenu.h"

#include <glib.h>

#include <memory>

#include "core/Translation.h"

namespace orvel {
namespace {

using Item = StatusMenu::Item;
using Action = StatusMenu::Action;

Item separator() {
  Item item;
  item.kind = Item::Kind::separator;
  return item;
}

Item button(std::string title, std::string accelerator, std::string symbol, Action action) {
  Item item;
  item.title = std::move(title);
  item.accelerator = std::move(accelerator);
  item.symbol = std::move(symbol);
  item.action = action;
  return item;
}

Item disabled(std::string title) {
  Item item;
  item.title = std::move(title);
  item.enabled = false;
  return item;
}

Item submenu(std::string title, std::vector<Item> children) {
  Item item;
  item.kind = Item::Kind::submenu;
  item.title = std::move(title);
  item.children = std::move(children);
  return item;
}

}  // namespace

StatusMenu::StatusMenu(Dependencies dependencies) : deps_(std::move(dependencies)) {
  for (const char* name :
       {"setAlwaysOnTop", "setFollowAeroSpaceWorkspaces", "setEightyTransparency",
        "setHoverTransparency", "setLockAspectRatio16x9", "recentVideosUpdated",
        "watchHistoryUpdated"}) {
    observers_.push_back(
        deps_.center.addObserver(name, [this](const Notification&) { changes_.notify(); }));
  }
}

ObserverToken StatusMenu::observeChanges(std::function<void()> observer) {
  return changes_.add(std::move(observer));
}

std::vector<Item> StatusMenu::items() const {
  auto toggle = [this](PlayerCommands::Id id) {
    const auto& command = PlayerCommands::command(id);
    Item item =
        button(translated(command.title), std::string(command.accelerator), "", Action::toggle);
    item.command = id;
    item.checked = deps_.commands.state(id);
    return item;
  };
  using Id = PlayerCommands::Id;
  std::vector<Item> menu;
  menu.push_back(button(_("Open URL..."), "<Control>o", "link", Action::openURL));
  menu.push_back(button(_("Open Watch History"), "<Control><Shift>h", "clock.arrow.circlepath",
                        Action::openWatchHistory));
  menu.push_back(separator());
  menu.push_back(toggle(Id::hoverTransparency));
  menu.push_back(toggle(Id::alwaysOnTop));
  menu.push_back(toggle(Id::followAeroSpaceWorkspaces));
  menu.push_back(toggle(Id::eightyTransparency));
  menu.push_back(toggle(Id::lockAspectRatio16x9));
  menu.push_back(submenu(_("Recent Videos"), recentVideosMenu()));
  menu.push_back(submenu(_("Statistics"), statisticsMenu()));
  menu.push_back(button(_("Send Feedback…"), "", "envelope", Action::openFeedback));
  menu.push_back(
      button(_("Check for Updates…"), "", "arrow.triangle.2.circlepath", Action::checkForUpdates));
  menu.push_back(separator());
  menu.push_back(button(_("Quit"), "<Control>q", "", Action::quit));
  return menu;
}

std::vector<Item> StatusMenu::recentVideosMenu() const {
  const auto& recent = deps_.settings.recentVideos();
  if (recent.empty()) {
    return {disabled(_("No Recent Videos"))};
  }
  std::vector<Item> menu;
  for (std::size_t index = 0; index < recent.size() && index < kRecentLimit; ++index) {
    const RecentVideoItem& video = recent[index];
    Item item = button(video.title, "", "", Action::openRecent);
    item.videoID = video.videoID;
    item.time = video.lastPosition;
    item.sourceURL = video.sourceURL;
    menu.push_back(std::move(item));
  }
  menu.push_back(separator());
  menu.push_back(button(_("Clear Recent Videos"), "", "", Action::clearRecent));
  return menu;
}

std::vector<Item> StatusMenu::statisticsMenu() const {
  return {
      disabled(formatted(_("Recent Entries: %s"),
                         {std::to_string(deps_.settings.recentVideos().size())})),
      disabled(formatted(_("Watch History Entries: %s"),
                         {std::to_string(deps_.settings.watchHistoryVideos().size())})),
      disabled(
          formatted(_("Disk Usage: %s"), {formatSize(deps_.settings.storedHistoryUsageBytes())})),
  };
}

void StatusMenu::perform(const Item& item) {
  switch (item.action) {
    case Action::none:
      return;
    case Action::openURL:
      deps_.center.post("openURL");
      return;
    case Action::openWatchHistory:
    case Action::openFeedback:
      if (deps_.activate) {
        deps_.activate();
      }
      deps_.center.post(item.action == Action::openWatchHistory ? "openWatchHistory"
                                                                : "openFeedback");
      return;
    case Action::toggle:
      if (item.command) {
        deps_.commands.perform(*item.command);
      }
      return;
    case Action::openRecent:
      if (!item.videoID.empty()) {
        deps_.settings.requestPlayback(item.videoID, item.time, item.sourceURL);
      }
      return;
    case Action::clearRecent:
      deps_.settings.clearRecentVideos();
      return;
    case Action::checkForUpdates:
      if (deps_.checkForUpdates) {
        deps_.checkForUpdates();
      }
      return;
    case Action::quit:
      if (deps_.quit) {
        deps_.quit();
      }
      return;
  }
}

std::string StatusMenu::formatSize(std::uint64_t bytes) {
  const std::unique_ptr<gchar, decltype(&g_free)> text(g_format_size(bytes), &g_free);
  return text.get();
}

}  // namespace orvel
