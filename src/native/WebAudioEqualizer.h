// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Result.h"

namespace orvel {

// A running equalizer route for the web view's sound. It filters until it is destroyed, which
// takes the route down and leaves the sound server as it found it.
class WebAudioEqualizer {
 public:
  virtual ~WebAudioEqualizer() = default;
  // Gains in dB per band and the volume 0...1, taken over by the filters at once.
  virtual void update(const std::vector<double>& gains, double volume) = 0;
  virtual void setVolume(double volume) = 0;
};

// Builds a route for the one web audio stream producing sound; the error is the text to show.
// `failed` is called on the main loop, with the text, when a running route breaks later.
using WebAudioEqualizerFactory = std::function<Result<std::shared_ptr<WebAudioEqualizer>>(
    const std::vector<double>& gains, double volume,
    std::function<void(const std::string& message)> failed)>;

}  // namespace orvel
