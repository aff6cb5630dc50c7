// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "native/AudioProcessor.h"
#include "native/EqualizerDSP.h"

namespace orvel {

// The equalizer's filters as the web audio route runs them: made for the route's rate when it
// opens, and given new gains and volume while the sound flows.
class EqualizerAudioProcessor final : public AudioProcessor {
 public:
  EqualizerAudioProcessor(std::vector<double> gains, double volume);

  void prepare(double sampleRate) override;
  void process(float* interleavedStereo, std::size_t frames) override;

  // Main thread.
  void update(const std::vector<double>& gains, double volume);
  void setVolume(double volume);

 private:
  std::vector<double> gains_;
  double volume_;
  // Made in `prepare`, before the route hands over any sound, and kept until the processor goes.
  std::unique_ptr<EqualizerDSP> dsp_;
};

}  // namespace orvel
