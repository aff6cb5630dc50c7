// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace orvel {

// What the toolbar shows, derived afresh on every refresh from the session's values; none of it
// is stored.
namespace PlayerToolbarValues {

// Widths from this up show the volume slider, fullscreen and keep-on-top in the bar itself.
inline constexpr double kWideLayoutWidth = 480;

// The position shown: 0 when not finite or not positive.
double safeTime(double currentTime);
// The length: 0 (unknown) when not finite or not positive.
double safeDuration(double duration);
// The seek slider's value, never past the end, and its maximum, never below 1.
double seekValue(double currentTime, double duration);
double seekMaximum(double duration);
// The volume sliders' value on 0…1; full volume when not finite.
double volumeValue(double volume);
bool isWideLayout(double width);

// "m:ss" below an hour, "h:mm:ss" from there, capped at 99:59:59; whole seconds, truncated.
std::string formattedTime(double seconds);

struct GainLabel {
  enum class Tone { accent, dimmed, zero };
  std::string text;
  Tone tone;
  std::string accessibilityLabel;
  bool operator==(const GainLabel&) const = default;
};
// A band's gain in whole decibels, halves away from zero: "+3", "-12", "0".
GainLabel gainLabel(double gain, bool isEnabled);

// "123%": the zoom as a whole percentage, truncated.
std::string zoomPercent(double zoom);

// Mute remembers the volume it took away, and unmute gives it back.
struct Mute {
  double volumeBeforeMute = 1.0;
  // The volume after the button: 0, or what was there before muting.
  double toggle(double volume);
};

}  // namespace PlayerToolbarValues
}  // namespace orvel
