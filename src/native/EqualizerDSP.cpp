// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/EqualizerDSP.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace orvel {
namespace {

// A volume that is not a number keeps the one in force: silencing or blasting the output for a
// broken value would both be wrong.
float clampedVolume(double volume, float current) {
  if (std::isnan(volume)) {
    return current;
  }
  return static_cast<float>(std::clamp(volume, 0.0, 1.0));
}

// When the sound stops, the filter states decay through subnormal floats, which x86 cores handle
// in slow microcode: a quiet passage after music cost over a hundred times as much as the music,
// for as long as the silence lasted. Flushing them to zero while filtering keeps the arithmetic at
// full speed; what is lost lies below -700 dB. The caller's mode is restored afterwards. Other
// processors filter without it.
class FlushSubnormals {
 public:
#if defined(__SSE__)
  // Flush-to-zero (bit 15) and denormals-are-zero (bit 6) of MXCSR.
  FlushSubnormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | 0x8040);
  }
  ~FlushSubnormals() {
    _mm_setcsr(saved_);
  }
  FlushSubnormals(const FlushSubnormals&) = delete;
  FlushSubnormals& operator=(const FlushSubnormals&) = delete;

 private:
  unsigned saved_;
#endif
};

}  // namespace

EqualizerDSP::EqualizerDSP(double sampleRate, std::span<const double> gains, double volume)
    : sampleRate_(sampleRate),
      coefficients_(makeCoefficients(sampleRate, gains)),
      volume_(clampedVolume(volume, 1)) {}

void EqualizerDSP::update(std::span<const double> gains, double volume) {
  // The sines and powers stay outside the lock so the audio thread never waits for them.
  const auto coefficients = makeCoefficients(sampleRate_, gains);
  std::lock_guard guard(lock_);
  coefficients_ = coefficients;
  volume_ = clampedVolume(volume, volume_);
}

void EqualizerDSP::setVolume(double volume) {
  std::lock_guard guard(lock_);
  volume_ = clampedVolume(volume, volume_);
}

std::array<EqualizerDSP::Coefficients, PlayerEQBands::count> EqualizerDSP::makeCoefficients(
    double sampleRate, std::span<const double> gains) {
  std::array<Coefficients, PlayerEQBands::count> result{};
  // Without a usable rate no band has a place on the frequency axis; passing the sound through
  // beats filling the states with NaN for good.
  if (!(sampleRate > 0) || !std::isfinite(sampleRate)) {
    return result;
  }
  for (std::size_t band = 0; band < PlayerEQBands::count; ++band) {
    // A gain that is not a number (a damaged stored value) is flat rather than poisoning the
    // filter states for as long as the route runs.
    double gain = band < gains.size() && !std::isnan(gains[band]) ? gains[band] : 0;
    gain = static_cast<float>(std::clamp(gain, -kMaximumGain, kMaximumGain));
    const double amplitude = std::pow(10.0, gain / 40);
    const double frequency = std::min(static_cast<double>(PlayerEQBands::frequencies[band]),
                                      kMaximumFrequencyRatio * sampleRate);
    const double w0 = 2 * std::numbers::pi * frequency / sampleRate;
    const double cosine = std::cos(w0);
    const double alpha = std::sin(w0) / 2;  // Q = 1 for every band
    const double a0 = 1 + alpha / amplitude;
    result[band] = {.b0 = static_cast<float>((1 + alpha * amplitude) / a0),
                    .b1 = static_cast<float>(-2 * cosine / a0),
                    .b2 = static_cast<float>((1 - alpha * amplitude) / a0),
                    .a1 = static_cast<float>(-2 * cosine / a0),
                    .a2 = static_cast<float>((1 - alpha / amplitude) / a0)};
  }
  return result;
}

bool EqualizerDSP::process(std::span<const InputBuffer> input,
                           std::span<const OutputBuffer> output) {
  if (input.size() != output.size()) {
    return false;
  }
  std::lock_guard guard(lock_);
  [[maybe_unused]] FlushSubnormals flush;
  std::size_t firstChannel = 0;
  for (std::size_t k = 0; k < input.size(); ++k) {
    const InputBuffer& in = input[k];
    const OutputBuffer& out = output[k];
    const std::size_t channels = in.channelCount;
    if (in.data == nullptr || out.data == nullptr || channels != out.channelCount || channels < 1 ||
        channels > kChannelCount - firstChannel) {
      return false;
    }
    const std::size_t samples = std::min(in.byteSize, out.byteSize) / sizeof(float);
    if (samples >= channels) {
      if (channels == 2) {
        filter<2>(in.data, out.data, samples / 2, 0);
      } else {
        filter<1>(in.data, out.data, samples, firstChannel);
      }
    }
    firstChannel += channels;
  }
  return true;
}

template <std::size_t channels>
void EqualizerDSP::filter(const float* input, float* output, std::size_t frames,
                          std::size_t firstChannel) {
  // Working on local copies lets the compiler keep coefficients and states in registers across
  // the whole buffer instead of reloading them through the member arrays every sample.
  const auto coefficients = coefficients_;
  auto delays = delays_;
  const float volume = volume_;
  for (std::size_t t = 0; t < frames; ++t) {
    std::array<float, channels> x;
    for (std::size_t j = 0; j < channels; ++j) {
      x[j] = input[t * channels + j];
    }
    for (std::size_t band = 0; band < PlayerEQBands::count; ++band) {
      const Coefficients& c = coefficients[band];
      for (std::size_t j = 0; j < channels; ++j) {
        float* state = &delays[band * 4 + (firstChannel + j) * 2];
        const float y = c.b0 * x[j] + state[0];
        state[0] = c.b1 * x[j] - c.a1 * y + state[1];
        state[1] = c.b2 * x[j] - c.a2 * y;
        x[j] = y;
      }
    }
    for (std::size_t j = 0; j < channels; ++j) {
      output[t * channels + j] = x[j] * volume;
    }
  }
  delays_ = delays;
}

}  // namespace orvel
