// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <vector>

#include "native/MediaEnginePlayer.h"

namespace orvel {

// The native media engine shared by every native playback: it makes one player per playback
// start.
class MediaEngine {
 public:
  virtual ~MediaEngine() = default;

  // A new player, idle, drawing into the engine's video view.
  virtual std::shared_ptr<MediaEnginePlayer> makePlayer() = 0;

  // Centre frequencies in Hz of the engine's equalizer bands, in the order `setEqualizer` takes
  // their gains.
  virtual std::vector<double> equalizerBandFrequencies() const = 0;
};

}  // namespace orvel
