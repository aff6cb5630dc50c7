// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>

namespace orvel {

// How fast playback runs. It lasts for the running player (a new video keeps it) and starts at
// 1× with every launch; each engine plays at it with the pitch kept, through the host.
class PlaybackSpeed {
 public:
  static constexpr double kSlowest = 0.25;
  static constexpr double kFastest = 4.0;
  // What the options offer and the keys step through.
  static constexpr std::array<double, 10> kSteps = {0.25, 0.5,  0.75, 1.0, 1.25,
                                                    1.5,  1.75, 2.0,  3.0, 4.0};
  // How long the status line says the new speed.
  static constexpr double kMessageSeconds = 2.0;

  struct Host {
    // Plays the current media at the rate.
    std::function<void(double rate)> apply;
    std::function<void(const std::string& text, double clearAfter)> statusMessage;
    std::function<void()> changed;
  };

  explicit PlaybackSpeed(Host host) : host_(std::move(host)) {}

  double rate() const { return rate_; }
  // Any rate of the range, clamped to it; one that is not a number changes nothing.
  void setRate(double rate);
  // The step below or above the current rate.
  void slower();
  void faster();
  void reset() { setRate(1.0); }
  // Media that started, or a page that loaded, plays at the current rate (which needs nothing at
  // 1×, where every engine starts).
  void reapply() const;

  // "1.5×", "0.75×", "2×".
  static std::string label(double rate);
  // The step nearest the rate (the lower one on a tie).
  static std::size_t nearestStep(double rate);

 private:
  Host host_;
  double rate_ = 1.0;
};

}  // namespace orvel
