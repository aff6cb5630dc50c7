// SPDX-License-Identifier: GPL-3.0-or-later

#include "chrome/PlayerToolbarValues.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvel::PlayerToolbarValues {

double safeTime(double currentTime) {
  return std::isfinite(currentTime) && currentTime > 0 ? currentTime : 0;
}

double safeDuration(double duration) {
  return std::isfinite(duration) && duration > 0 ? duration : 0;
}

double seekValue(double currentTime, double duration) {
  return std::min(safeDuration(duration), safeTime(currentTime));
}

double seekMaximum(double duration) {
  return std::max(safeDuration(duration), 1.0);
}

double volumeValue(double volume) {
  return std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 1.0;
}

bool isWideLayout(double width) {
  return width >= kWideLayoutWidth;
}

std::string formattedTime(double seconds) {
  constexpr double kLongest = 359999;  // 99:59:59
  const double clamped = std::isfinite(seconds) && seconds > 0 ? std::min(seconds, kLongest) : 0;
  const auto whole = static_cast<long>(clamped);
  char text[64];
  if (whole < 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  }
  return text;
}

GainLabel gainLabel(double gain, bool isEnabled) {
  const long decibels = std::isfinite(gain) ? std::lround(std::clamp(gain, -1000.0, 1000.0)) : 0;
  if (decibels == 0) {
    return {"0", GainLabel::Tone::zero, "0 decibels"};
  }
  char text[32];
  std::snprintf(text, sizeof text, "%+ld", decibels);
  return {text, isEnabled ? GainLabel::Tone::accent : GainLabel::Tone::dimmed,
          std::to_string(decibels) + " decibels"};
}

std::string zoomPercent(double zoom) {
  // Truncated, but not below what the slider set: its steps of 0.05 are binary fractions a hair
  // under their value, and 1.15 × 100 is 114.99999999999999.
  const double percent = std::isfinite(zoom) ? std::clamp(zoom * 100 + 1e-6, 0.0, 1.0e6) : 100;
  return std::to_string(static_cast<long>(percent)) + "%";
}

double Mute::toggle(double volume) {
  if (volume > 0) {
    volumeBeforeMute = volume;
    return 0;
  }
  return volumeBeforeMute;
}

}  // namespace orvel::PlayerToolbarValues
