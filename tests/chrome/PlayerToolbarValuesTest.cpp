// SPDX-License-Identifier: GPL-3.0-or-later

#include "chrome/PlayerToolbarValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orvel {
namespace {

using namespace PlayerToolbarValues;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(PlayerToolbarValues, TimesAreWholeSecondsCappedAt99Hours) {
  EXPECT_EQ(formattedTime(0), "0:00");
  EXPECT_EQ(formattedTime(65.9), "1:05");
  EXPECT_EQ(formattedTime(3599.99), "59:59");
  EXPECT_EQ(formattedTime(3600), "1:00:00");
  EXPECT_EQ(formattedTime(36061), "10:01:01");
  EXPECT_EQ(formattedTime(1e12), "99:59:59");
  for (double odd : {kNaN, kInfinity, -kInfinity, -5.0}) {
    EXPECT_EQ(formattedTime(odd), "0:00") << odd;
  }
}

TEST(PlayerToolbarValues, AnUnknownLengthDisablesSeekingAndThePositionNeverPassesTheEnd) {
  for (double unknown : {0.0, -3.0, kInfinity, kNaN}) {
    EXPECT_EQ(safeDuration(unknown), 0) << unknown;
    EXPECT_EQ(seekMaximum(unknown), 1) << unknown;
    EXPECT_EQ(seekValue(42, unknown), 0) << unknown;
  }
  EXPECT_EQ(seekValue(130, 120), 120);
  EXPECT_EQ(seekValue(kNaN, 120), 0);
  EXPECT_EQ(safeTime(kNaN), 0);
  EXPECT_EQ(seekMaximum(0.5), 1);
  EXPECT_EQ(seekMaximum(95.5), 95.5);
}

TEST(PlayerToolbarValues, VolumeIsShownOnZeroToOneAndMuteGivesItBack) {
  EXPECT_EQ(volumeValue(kNaN), 1);
  EXPECT_EQ(volumeValue(1.5), 1);
  EXPECT_EQ(volumeValue(-0.2), 0);
  Mute mute;
  EXPECT_EQ(mute.toggle(0.4), 0);
  EXPECT_EQ(mute.toggle(0), 0.4);
  // Dragged to zero without the button: unmuting restores what the button saw last (or 1).
  Mute fresh;
  EXPECT_EQ(fresh.toggle(0), 1);
}

TEST(PlayerToolbarValues, GainsAreWholeDecibelsWithTheirSignAndTone) {
  using Tone = GainLabel::Tone;
  EXPECT_EQ(gainLabel(12, true), (GainLabel{"+12", Tone::accent, "12 decibels"}));
  EXPECT_EQ(gainLabel(-0.6, true), (GainLabel{"-1", Tone::accent, "-1 decibels"}));
  EXPECT_EQ(gainLabel(-0.6, false).tone, Tone::dimmed);
  EXPECT_EQ(gainLabel(0.4, true), (GainLabel{"0", Tone::zero, "0 decibels"}));
  EXPECT_EQ(gainLabel(2.5, true).text, "+3");
  EXPECT_EQ(gainLabel(-2.5, true).text, "-3");
  EXPECT_EQ(gainLabel(kNaN, true).text, "0");
}

TEST(PlayerToolbarValues, ZoomIsATruncatedPercentageAndWideStartsAt480) {
  EXPECT_EQ(zoomPercent(1.234), "123%");
  // The slider's steps, which binary fractions put a hair under their value.
  EXPECT_EQ(zoomPercent(1.15), "115%");
  EXPECT_EQ(zoomPercent(2.3), "230%");
  EXPECT_EQ(zoomPercent(2.55), "255%");
  EXPECT_EQ(zoomPercent(3), "300%");
  EXPECT_EQ(zoomPercent(kNaN), "100%");
  EXPECT_FALSE(isWideLayout(479.5));
  EXPECT_TRUE(isWideLayout(480));
}

}  // namespace
}  // namespace orvel
