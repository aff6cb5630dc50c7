// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/WorkspaceFollowing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

TEST(WorkspaceFollowing, FollowsOnlyWhileKeptOnTopAndSwitchedOnAndHearsEitherSwitch) {
  MemoryDefaults defaults;
  NotificationCenter center;
  AppSettings settings(defaults, center);
  std::vector<std::string> calls;
  WorkspaceFollowing following(
      settings, center,
      {.start = [&] { calls.push_back("start"); }, .stop = [&] { calls.push_back("stop"); }});
  using Switch = AppSettings::Switch;
  settings.setEnabled(Switch::alwaysOnTop, true);
  settings.setEnabled(Switch::followAeroSpaceWorkspaces, false);
  following.update();
  EXPECT_FALSE(following.isFollowing());

  settings.setEnabled(Switch::followAeroSpaceWorkspaces, true);
  EXPECT_TRUE(following.isFollowing());
  settings.setEnabled(Switch::alwaysOnTop, false);
  EXPECT_FALSE(following.isFollowing());
  settings.setEnabled(Switch::alwaysOnTop, true);
  EXPECT_TRUE(following.isFollowing());
  settings.setEnabled(Switch::followAeroSpaceWorkspaces, false);
  EXPECT_FALSE(following.isFollowing());
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
            (std::vector<std::string>{"start", "stop", "start", "stop"}));
}

}  // namespace
}  // namespace orvel
