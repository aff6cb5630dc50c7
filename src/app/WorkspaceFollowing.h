// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <vector>

#include "core/NotificationCenter.h"
#include "settings/AppSettings.h"

namespace orvel {

// Whether the workspace follower runs: only while the window is kept on top and following is
// switched on, decided again at each change of either switch.
class WorkspaceFollowing {
 public:
  struct Follower {
    // Starts following and checks where the window is at once.
    std::function<void()> start;
    std::function<void()> stop;
  };

  WorkspaceFollowing(AppSettings& settings, NotificationCenter& center, Follower follower);
  WorkspaceFollowing(const WorkspaceFollowing&) = delete;
  WorkspaceFollowing& operator=(const WorkspaceFollowing&) = delete;

  // Applies the switches as they are now.
  void update();
  bool isFollowing() const { return following_; }

 private:
  AppSettings& settings_;
  Follower follower_;
  bool following_ = false;
  std::vector<ObserverToken> switches_;
};

}  // namespace orvel
