// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/NotificationCenter.h"
#include "settings/AppSettings.h"

namespace orvel {

// The commands of the player's menus and keys. A switch command flips its switch in the store,
// which stores and announces it; a button posts its request for the window that acts on it, or
// opens a window by its identifier. The Command key of other desktops is Ctrl here.
class PlayerCommands {
 public:
  enum class Id {
    hoverTransparency,
    alwaysOnTop,
    followAeroSpaceWorkspaces,
    eightyTransparency,
    toggleOpacity,
    openURL,
    openPlaylist,
    openWatchHistory,
    lockAspectRatio16x9,
  };

  struct Command {
    Id id;
    std::string_view title;
    // The application action's name, and its GTK accelerator ("" for none).
    std::string_view action;
    std::string_view accelerator;
    // What it does: flip a switch, post a request, or open a window.
    std::optional<AppSettings::Switch> toggles;
    std::string_view notification;
    std::string_view window;
    // The menu that holds it.
    enum class Menu { view, player };
    Menu menu = Menu::view;
  };

  // In menu order: the View group, then the "Player" menu.
  static const std::vector<Command>& all();
  static const Command& command(Id id);

  using OpenWindow = std::function<void(std::string_view windowID)>;
  PlayerCommands(AppSettings& settings, NotificationCenter& center, OpenWindow openWindow);

  void perform(Id id);
  // A switch command's current state; none for a button.
  std::optional<bool> state(Id id) const;

 private:
  AppSettings& settings_;
  NotificationCenter& center_;
  OpenWindow openWindow_;
};

// Opens the watch history and feedback windows when the status menu asks for them.
class WindowCommandBridge {
 public:
  WindowCommandBridge(NotificationCenter& center, PlayerCommands::OpenWindow openWindow);

 private:
  std::vector<ObserverToken> tokens_;
};

}  // namespace orvel
