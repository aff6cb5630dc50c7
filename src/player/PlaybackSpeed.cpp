// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlaybackSpeed.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/Translation.h"

namespace orvel {

void PlaybackSpeed::setRate(double rate) {
  if (!std::isfinite(rate)) {
    return;
  }
  const double clamped = std::clamp(rate, kSlowest, kFastest);
  if (clamped != rate_) {
    rate_ = clamped;
    if (host_.apply) {
      host_.apply(rate_);
    }
    if (host_.changed) {
      host_.changed();
    }
  }
  if (host_.statusMessage) {
    host_.statusMessage(formatted(_("Speed %s"), {label(rate_)}), kMessageSeconds);
  }
}

void PlaybackSpeed::slower() {
  const auto lower = std::find_if(kSteps.rbegin(), kSteps.rend(),
                                  [this](double step) { return step < rate_ - 1e-9; });
  setRate(lower == kSteps.rend() ? kSteps.front() : *lower);
}

void PlaybackSpeed::faster() {
  const auto higher = std::find_if(kSteps.begin(), kSteps.end(),
                                   [this](double step) { return step > rate_ + 1e-9; });
  setRate(higher == kSteps.end() ? kSteps.back() : *higher);
}

void PlaybackSpeed::reapply() const {
  // Every engine starts new media at 1×.
  if (host_.apply && rate_ != 1.0) {
    host_.apply(rate_);
  }
}

std::string PlaybackSpeed::label(double rate) {
  // As few digits as the rate needs (2×, 1.5×, 0.75×), with a point whatever the locale.
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, std::round(rate * 100) / 100,
                                     std::chars_format::fixed, 2);
  std::string number(text, written.ptr);
  while (number.ends_with('0')) {
    number.pop_back();
  }
  if (number.ends_with('.')) {
    number.pop_back();
  }
  return number + "×";
}

std::size_t PlaybackSpeed::nearestStep(double rate) {
  std::size_t nearest = 0;
  for (std::size_t index = 1; index < kSteps.size(); ++index) {
    if (std::abs(kSteps[index] - rate) < std::abs(kSteps[nearest] - rate)) {
      nearest = index;
    }
  }
  return nearest;
}

}  // namespace orvel
