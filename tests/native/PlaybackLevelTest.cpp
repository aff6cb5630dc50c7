// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/PlaybackLevel.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace orvel {
namespace {

// In frames at 48 kHz: fragments of 10 ms, kept at 30 ms, cut after a 10 ms rise lasting a
// second, room for 80 ms.
constexpr std::size_t kFragment = 480;
constexpr std::size_t kTarget = 1440;
constexpr std::size_t kRise = 480;
constexpr std::size_t kWindow = 48000;
constexpr std::size_t kRoom = 3840;

// A queue between a capture and an output, with what the level did to the sound.
struct Route {
  PlaybackLevel level{kWindow, kTarget, kRise};
  std::size_t queued = 0;
  std::size_t silence = 0;
  std::vector<std::size_t> cuts;  // frames left out at each break in the sound
  bool lastLeftOut = false;       // the whole last fragment was left out

  // The output takes `frames`; true when it found too few.
  bool play(std::size_t frames) {
    const bool short_ = queued < frames;
    queued -= std::min(queued, frames);
    if (short_) {
      level.ranEmpty();
    }
    return short_;
  }
  void capture(std::size_t frames) {
    const PlaybackLevel::Plan plan = level.plan(queued, frames, kRoom);
    silence += plan.silence;
    if (plan.skip > 0 && lastLeftOut) {
      cuts.back() += plan.skip;
    } else if (plan.skip > 0) {
      cuts.push_back(plan.skip);
    }
    lastLeftOut = plan.skip == frames;
    queued += plan.silence + frames - plan.skip;
  }
};

TEST(PlaybackLevelTest, StartsAtItsTargetAndCutsNothingForJitter) {
  Route route;
  route.capture(kFragment);
  EXPECT_EQ(route.silence, kTarget - kFragment) << "filled up to its target at the start";
  EXPECT_EQ(route.queued, kTarget);

  // Ten seconds of late wake-ups: every fifth fragment comes with the next, and every seventh turn
  // the output takes two turns' worth at once and none the next; the clocks agree.
  for (int turn = 1; turn <= 1000; ++turn) {
    const std::size_t taken = turn % 7 == 0 ? 2 * kFragment : turn % 7 == 1 ? 0 : kFragment;
    ASSERT_FALSE(route.play(taken)) << turn;
    if (turn % 5 == 0) {
      continue;
    }
    route.capture(turn % 5 == 1 ? 2 * kFragment : kFragment);
  }
  EXPECT_TRUE(route.cuts.empty()) << route.cuts.size() << " cuts";
  EXPECT_EQ(route.silence, kTarget - kFragment) << "no silence after the start";
}

// The output's clock runs slow: the level climbs by a frame a fragment. It is cut back to its
// target in one step once a whole window has stayed above the allowed rise, and the delay never
// grows much past it.
TEST(PlaybackLevelTest, ADriftIsCutInOneStepOnceItLasts) {
  Route route;
  route.capture(kFragment);
  std::size_t highest = 0;
  for (int turn = 0; turn < 6000; ++turn) {  // a minute
    route.play(turn % 2 == 0 ? kFragment - 1 : kFragment);
    route.capture(kFragment);
    highest = std::max(highest, route.queued);
  }
  ASSERT_FALSE(route.cuts.empty());
  EXPECT_LE(route.cuts.size(), 6u) << "a cut a window would be a crackle";
  for (std::size_t cut : route.cuts) {
    EXPECT_GT(cut, kRise);
    EXPECT_LT(cut, kRise + kFragment) << "back to the target, not below it";
  }
  EXPECT_LE(highest, kTarget + kRise + 2 * kFragment);
}

// After a stall the output found the queue empty and the capture hands over a backlog: the oldest
// of it is left out in that same break, so the level is at its target again at once; a short
// queue after running empty is filled with silence instead.
TEST(PlaybackLevelTest, AfterRunningEmptyItStartsAgainAtItsTarget) {
  Route route;
  route.capture(kFragment);
  ASSERT_TRUE(route.play(kTarget + kFragment));
  route.capture(6 * kFragment);
  ASSERT_EQ(route.cuts.size(), 1u);
  EXPECT_EQ(route.cuts.front(), 6 * kFragment - kTarget);
  EXPECT_EQ(route.queued, kTarget);

  ASSERT_TRUE(route.play(kTarget + kFragment));
  const std::size_t silenceBefore = route.silence;
  route.capture(kFragment);
  EXPECT_EQ(route.silence - silenceBefore, kTarget - kFragment);
  EXPECT_EQ(route.cuts.size(), 1u);
}

// The output stalls while the capture goes on: the queue never grows past its room, and what
// reaches it is left out down to the target in that one break, not cut again a window later.
TEST(PlaybackLevelTest, ABacklogThatReachesTheRoomIsLeftOutDownToTheTargetInOneBreak) {
  Route route;
  route.capture(kFragment);
  std::size_t highest = 0;
  for (int turn = 0; turn < 12; ++turn) {
    route.capture(kFragment);
    highest = std::max(highest, route.queued);
  }
  EXPECT_LE(highest, kRoom);
  for (int turn = 0; turn < 300; ++turn) {
    route.play(kFragment);
    route.capture(kFragment);
  }
  EXPECT_EQ(route.cuts.size(), 1u);
  EXPECT_EQ(route.queued, kTarget);
}

// A server may report the queue ran empty after it was fed again, and report it at every turn
// while it is busy: what the queue holds plays on, and no fragment is left out for it.
TEST(PlaybackLevelTest, ALateReportOfRunningEmptyLeavesNothingOut) {
  Route route;
  route.capture(kFragment);
  route.capture(kFragment);
  for (int turn = 0; turn < 20; ++turn) {
    route.level.ranEmpty();
    route.play(kFragment);
    route.capture(kFragment);
  }
  EXPECT_TRUE(route.cuts.empty()) << route.cuts.size() << " cuts";
  EXPECT_EQ(route.silence, kTarget - kFragment) << "no silence after the start";
}

}  // namespace
}  // namespace orvel
