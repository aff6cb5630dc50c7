// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "native/PlayerEQBands.h"

namespace orvel {

// The filters of the web audio route: one peaking biquad per band of `PlayerEQBands` in series,
// then a volume multiplier, over stereo 32-bit float samples. `process` runs on the route's
// real-time audio thread while the main thread changes gains and volume; everything they share
// sits behind one lock.
class EqualizerDSP {
 public:
  // One normalized biquad (a0 divided out). The default passes samples through.
  struct Coefficients {
    float b0 = 1;
    float b1 = 0;
    float b2 = 0;
    float a1 = 0;
    float a2 = 0;
  };

  // Interleaved 32-bit float samples as the sound server hands them over; `byteSize` need not be
  // a whole number of frames.
  struct InputBuffer {
    std::uint32_t channelCount = 0;
    std::size_t byteSize = 0;
    const float* data = nullptr;
  };
  struct OutputBuffer {
    std::uint32_t channelCount = 0;
    std::size_t byteSize = 0;
    float* data = nullptr;
  };

  static constexpr std::size_t kChannelCount = 2;
  static constexpr double kMaximumGain = 12;
  // Bands above this share of the sample rate are moved down to it, so at low sample rates no
  // band sits at or beyond the Nyquist frequency, where the filter would be meaningless.
  static constexpr double kMaximumFrequencyRatio = 0.45;

  // Gains in dB, band 0 first; missing bands are flat. Volume 0...1.
  EqualizerDSP(double sampleRate, std::span<const double> gains, double volume);
  EqualizerDSP(const EqualizerDSP&) = delete;
  EqualizerDSP& operator=(const EqualizerDSP&) = delete;

  // Takes new gains and volume from the next callback on. The filter states carry on, so the
  // change makes no click.
  void update(std::span<const double> gains, double volume);
  void setVolume(double volume);

  // Filters one callback's worth of audio: either one buffer of two interleaved channels, or two
  // buffers of one channel each (left, then right). Input and output may be the same memory.
  // Returns false when the lists do not pair up or a buffer cannot be served; buffers before the
  // refused one have been processed, the rest are untouched. Real-time safe: no allocation, and
  // the only wait is for the main thread's short hold of the lock.
  bool process(std::span<const InputBuffer> input, std::span<const OutputBuffer> output);

  static std::array<Coefficients, PlayerEQBands::count> makeCoefficients(
      double sampleRate, std::span<const double> gains);

  double sampleRate() const { return sampleRate_; }

 private:
  template <std::size_t channels>
  void filter(const float* input, float* output, std::size_t frames, std::size_t firstChannel);

  // glibc takes and releases an uncontended mutex with one atomic operation and no system call,
  // so the audio thread pays nothing for it in the common case. The main thread holds it only to
  // copy seven coefficient sets and store a float (coefficients are computed before taking it),
  // so the audio thread never waits longer than that copy.
  std::mutex lock_;
  const double sampleRate_;
  std::array<Coefficients, PlayerEQBands::count> coefficients_;
  // Index band * 4 + channel * 2 + k: the first (k = 0) and second (k = 1) state of each band's
  // filter, per channel.
  std::array<float, PlayerEQBands::count * kChannelCount * 2> delays_{};
  float volume_;
};

}  // namespace orvel
