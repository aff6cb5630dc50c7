// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/WorkspaceFollowing.h"

#include <utility>

namespace orvel {

WorkspaceFollowing::WorkspaceFollowing(AppSettings& settings, NotificationCenter& center,
                                       Follower follower)
    : settings_(settings), follower_(std::move(follower)) {
  for (const char* name : {"setAlwaysOnTop", "setFollowAeroSpaceWorkspaces"}) {
    switches_.push_back(center.addObserver(name, [this](const Notification&) { update(); }));
  }
}

void WorkspaceFollowing::update() {
  following_ = settings_.alwaysOnTopEnabled() && settings_.followAeroSpaceWorkspacesEnabled();
  const auto& act = following_ ? follower_.start : follower_.stop;
  if (act) {
    act();
  }
}

}  // namespace orvel
