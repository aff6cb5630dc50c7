// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlaybackSpeed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace orvel {
namespace {

struct Recorder {
  std::vector<double> applied;
  std::vector<std::string> messages;
  int changes = 0;
  PlaybackSpeed speed{PlaybackSpeed::Host{
      .apply = [this](double rate) { applied.push_back(rate); },
      .statusMessage = [this](const std::string& text, double) { messages.push_back(text); },
      .changed = [this] { ++changes; },
  }};
};

TEST(PlaybackSpeed, KeysStepThroughTheStepsAndStopAtBothEnds) {
  Recorder r;
  r.speed.faster();
  r.speed.faster();
  EXPECT_EQ(r.speed.rate(), 1.5);
  for (int press = 0; press < 20; ++press) {
    r.speed.faster();
  }
  EXPECT_EQ(r.speed.rate(), 4.0);
  r.speed.slower();
  EXPECT_EQ(r.speed.rate(), 3.0);
  // From a rate between steps, the next step on either side.
  r.speed.setRate(1.1);
  r.speed.slower();
  EXPECT_EQ(r.speed.rate(), 1.0);
  r.speed.setRate(1.1);
  r.speed.faster();
  EXPECT_EQ(r.speed.rate(), 1.25);
  for (int press = 0; press < 20; ++press) {
    r.speed.slower();
  }
  EXPECT_EQ(r.speed.rate(), 0.25);
  r.speed.reset();
  EXPECT_EQ(r.speed.rate(), 1.0);
  EXPECT_EQ(r.messages.back(), "Speed 1×");
}

TEST(PlaybackSpeed, RatesOutOfRangeAreClampedAndNotANumberChangesNothing) {
  Recorder r;
  r.speed.setRate(10);
  EXPECT_EQ(r.speed.rate(), 4.0);
  r.speed.setRate(0.01);
  EXPECT_EQ(r.speed.rate(), 0.25);
  r.speed.setRate(std::numeric_limits<double>::quiet_NaN());
  r.speed.setRate(std::numeric_limits<double>::infinity());
  EXPECT_EQ(r.speed.rate(), 0.25);
  EXPECT_EQ(r.applied, (std::vector<double>{4.0, 0.25}));
  EXPECT_EQ(r.changes, 2);
}

// A new media or page gets the speed only when it is not 1×, where every engine starts.
TEST(PlaybackSpeed, ANewMediaGetsTheSpeedOnlyWhenItIsNotTheMediasOwn) {
  Recorder r;
  r.speed.reapply();
  EXPECT_TRUE(r.applied.empty());
  r.speed.setRate(1.5);
  r.speed.reapply();
  EXPECT_EQ(r.applied, (std::vector<double>{1.5, 1.5}));
  EXPECT_EQ(r.messages, std::vector<std::string>{"Speed 1.5×"});
}

TEST(PlaybackSpeed, LabelsUseTheFewestDigitsAndStepsAreFoundFromAnyRate) {
  EXPECT_EQ(PlaybackSpeed::label(2), "2×");
  EXPECT_EQ(PlaybackSpeed::label(1.5), "1.5×");
  EXPECT_EQ(PlaybackSpeed::label(0.75), "0.75×");
  EXPECT_EQ(PlaybackSpeed::label(0.25), "0.25×");
  EXPECT_EQ(PlaybackSpeed::nearestStep(1.0), 3u);
  EXPECT_EQ(PlaybackSpeed::nearestStep(2.4), 7u);
  EXPECT_EQ(PlaybackSpeed::nearestStep(100), PlaybackSpeed::kSteps.size() - 1);
}

}  // namespace
}  // namespace orvel
