// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/gtk/X11Frames.h"
#include "platform/net/RecentThumbnails.h"
#include "settings/AppSettings.h"

namespace orvel {

// The "Watch History" window: the YouTube videos of the watch history, each to reopen where it
// stopped, to rate with stars, to keep a note on, or to remove. It reads the store and changes
// it only through the store's operations.
class WatchHistoryWindow {
 public:
  WatchHistoryWindow(AppSettings& settings, NotificationCenter& center,
                     RecentThumbnails& thumbnails, std::function<void()> openPlayer);
  ~WatchHistoryWindow();
  WatchHistoryWindow(const WatchHistoryWindow&) = delete;
  WatchHistoryWindow& operator=(const WatchHistoryWindow&) = delete;

  void present();
  Gtk::Window& window() { return window_; }

 private:
  class Row;
  void scheduleRefresh();
  void refresh();

  AppSettings& settings_;
  RecentThumbnails& thumbnails_;
  std::function<void()> openPlayer_;
  Gtk::Window window_;
  // Kept whole on its screen each time it shows.
  ScreenKeeping onScreen_{window_};
  Gtk::Label count_;
  Gtk::Stack content_;
  Gtk::Box list_{Gtk::Orientation::VERTICAL, 0};
  // The rows shown, in order, and the video IDs whose note editor is open.
  std::vector<std::string> shownIDs_;
  std::map<std::string, Row*> rows_;
  std::set<std::string> expandedNotes_;
  std::vector<ObserverToken> observers_;
  sigc::connection pendingRefresh_;
};

}  // namespace orvel
