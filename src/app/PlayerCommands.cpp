// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/PlayerCommands.h"

#include <stdexcept>

#include "core/Translation.h"

namespace orvel {

const std::vector<PlayerCommands::Command>& PlayerCommands::all() {
  using Switch = AppSettings::Switch;
  static const std::vector<Command> commands{
      {Id::hoverTransparency, N_("Hover Transparency"), "hover-transparency", "<Control>t",
       Switch::hoverTransparency, "", ""},
      {Id::alwaysOnTop, N_("Always On Top"), "always-on-top", "<Control>l", Switch::alwaysOnTop, "",
       ""},
      {Id::followAeroSpaceWorkspaces, N_("Follow AeroSpace Workspaces"), "follow-workspaces", "",
       Switch::followAeroSpaceWorkspaces, "", ""},
      {Id::eightyTransparency, N_("80% Transparency"), "eighty-transparency", "<Control>8",
       Switch::eightyTransparency, "", ""},
      {Id::toggleOpacity, N_("Toggle Opacity"), "toggle-opacity", "<Control>p", std::nullopt,
       "toggleOpacity", ""},
      {Id::openURL, N_("Open URL..."), "open-url", "<Control>o", std::nullopt, "openURL", "",
       Command::Menu::player},
      {Id::openPlaylist, N_("Playlist…"), "playlist", "<Control><Shift>p", std::nullopt,
       "openPlaylist", "", Command::Menu::player},
      {Id::openWatchHistory, N_("Open Watch History"), "watch-history", "<Control><Shift>h",
       std::nullopt, "", "watch-history", Command::Menu::player},
      {Id::lockAspectRatio16x9, N_("Lock 16:9 While Resizing"), "lock-aspect-ratio", "",
       Switch::lockAspectRatio16x9, "", "", Command::Menu::player},
  };
  return commands;
}

const PlayerCommands::Command& PlayerCommands::command(Id id) {
  for (const Command& command : all()) {
    if (command.id == id) {
      return command;
    }
  }
  throw std::logic_error("a command missing from the table");
}

PlayerCommands::PlayerCommands(AppSettings& settings, NotificationCenter& center,
                               OpenWindow openWindow)
    : settings_(settings), center_(center), openWindow_(std::move(openWindow)) {}

void PlayerCommands::perform(Id id) {
  const Command& chosen = command(id);
  if (chosen.toggles) {
    settings_.setEnabled(*chosen.toggles, !settings_.isEnabled(*chosen.toggles));
  } else if (!chosen.notification.empty()) {
    center_.post(std::string(chosen.notification));
  } else if (!chosen.window.empty() && openWindow_) {
    openWindow_(chosen.window);
  }
}

std::optional<bool> PlayerCommands::state(Id id) const {
  const Command& chosen = command(id);
  if (!chosen.toggles) {
    return std::nullopt;
  }
  return settings_.isEnabled(*chosen.toggles);
}

WindowCommandBridge::WindowCommandBridge(NotificationCenter& center,
                                         PlayerCommands::OpenWindow openWindow) {
  for (const auto& [name, window] :
       {std::pair{"openWatchHistory", "watch-history"}, std::pair{"openFeedback", "feedback"}}) {
    tokens_.push_back(
        center.addObserver(name, [openWindow, window = std::string(window)](const Notification&) {
          if (openWindow) {
            openWindow(window);
          }
        }));
  }
}

}  // namespace orvel
