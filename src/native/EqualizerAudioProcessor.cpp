// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/EqualizerAudioProcessor.h"

#include <utility>

namespace orvel {

EqualizerAudioProcessor::EqualizerAudioProcessor(std::vector<double> gains, double volume)
    : gains_(std::move(gains)), volume_(volume) {}

void EqualizerAudioProcessor::prepare(double sampleRate) {
  dsp_ = std::make_unique<EqualizerDSP>(sampleRate, gains_, volume_);
}

void EqualizerAudioProcessor::process(float* interleavedStereo, std::size_t frames) {
  if (!dsp_) {
    return;
  }
  const std::size_t bytes = frames * EqualizerDSP::kChannelCount * sizeof(float);
  const EqualizerDSP::InputBuffer input{EqualizerDSP::kChannelCount, bytes, interleavedStereo};
  const EqualizerDSP::OutputBuffer output{EqualizerDSP::kChannelCount, bytes, interleavedStereo};
  dsp_->process(std::span(&input, 1), std::span(&output, 1));
}

void EqualizerAudioProcessor::update(const std::vector<double>& gains, double volume) {
  gains_ = gains;
  volume_ = volume;
  if (dsp_) {
    dsp_->update(gains_, volume_);
  }
}

void EqualizerAudioProcessor::setVolume(double volume) {
  volume_ = volume;
  if (dsp_) {
    dsp_->setVolume(volume_);
  }
}

}  // namespace orvel
