// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerWindowCoordinator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace orvel {
namespace {

using Size = PlayerWindowCoordinator::Size;

TEST(PlayerWindowCoordinator, WidthWinsAndTheHeightFollowsOnlyWhileLocked) {
  PlayerWindowCoordinator coordinator;
  EXPECT_EQ(coordinator.windowWillResize({800, 700}), (Size{800, 700}));
  coordinator.lockAspectRatio16x9 = true;
  EXPECT_EQ(coordinator.windowWillResize({800, 700}), (Size{800, 450}));
  EXPECT_EQ(coordinator.windowWillResize({1000, 10}), (Size{1000, 563}));
  // Nothing sensible to follow: the proposal stands.
  EXPECT_EQ(coordinator.windowWillResize({0, 300}), (Size{0, 300}));
  const Size nan = coordinator.windowWillResize({NAN, 300});
  EXPECT_EQ(nan.height, 300);
}

TEST(PlayerWindowCoordinator, LockingKeepsTheTopEdgeAndLeavesANearFitAlone) {
  PlayerWindowCoordinator coordinator;
  EXPECT_FALSE(coordinator.lockedFrame({100, 50, 1000, 1000}));
  coordinator.lockAspectRatio16x9 = true;
  EXPECT_EQ(coordinator.lockedFrame({100, 50, 1000, 1000}), (Rect{100, 50, 1000, 563}));
  EXPECT_FALSE(coordinator.lockedFrame({100, 50, 1000, 562}));
  EXPECT_FALSE(coordinator.lockedFrame({100, 50, 1000, 564}));
  EXPECT_TRUE(coordinator.lockedFrame({100, 50, 1000, 565}));
  EXPECT_FALSE(coordinator.lockedFrame({100, 50, 0, 0}));
}

TEST(PlayerWindowCoordinator, ItsOwnAdjustmentIsNotAdjustedAgainAndEveryFrameIsReported) {
  PlayerWindowCoordinator coordinator;
  coordinator.lockAspectRatio16x9 = true;
  std::vector<Rect> reported;
  std::vector<Rect> set;
  coordinator.onFrameChanged = [&](const Rect& frame) { reported.push_back(frame); };
  std::function<void(const Rect&)> setFrame = [&](const Rect& frame) {
    set.push_back(frame);
    // The window system reports the new frame at once, from inside the call.
    coordinator.windowDidChangeFrame({frame.x, frame.y, frame.width, frame.height + 40}, setFrame);
  };
  coordinator.windowDidChangeFrame({0, 0, 1600, 1000}, setFrame);
  EXPECT_EQ(set, (std::vector<Rect>{{0, 0, 1600, 900}}));
  EXPECT_EQ(reported, (std::vector<Rect>{{0, 0, 1600, 940}, {0, 0, 1600, 1000}}));
}

}  // namespace
}  // namespace orvel
