// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/EqualizerDSP.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <vector>

namespace orvel {
namespace {

using Coefficients = EqualizerDSP::Coefficients;
using InputBuffer = EqualizerDSP::InputBuffer;
using OutputBuffer = EqualizerDSP::OutputBuffer;

constexpr std::array<long double, 7> kCentres{63, 250, 500, 1500, 3000, 5000, 8000};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// What output buffers hold before a call, so untouched samples can be told from written ones.
constexpr float kUntouched = 1234.5f;

// The Audio EQ Cookbook's peaking filter, written out with a0 kept and evaluated in long double:
// the yardstick the float filters are measured against.
struct ReferenceBiquad {
  long double b0, b1, b2, a0, a1, a2;

  static ReferenceBiquad peaking(long double rate, long double frequency, long double gain) {
    const long double amplitude = std::pow(10.0L, gain / 40);
    const long double w0 = 2 * 3.14159265358979323846264338327950288L * frequency / rate;
    const long double alpha = std::sin(w0) / (2 * 1.0L);  // Q = 1
    return {1 + alpha * amplitude, -2 * std::cos(w0), 1 - alpha * amplitude,
            1 + alpha / amplitude, -2 * std::cos(w0), 1 - alpha / amplitude};
  }

  // |H| on the unit circle at this frequency.
  long double magnitude(long double rate, long double frequency) const {
    const long double w = 2 * 3.14159265358979323846264338327950288L * frequency / rate;
    const std::complex<long double> z1 = std::polar(1.0L, -w);
    const std::complex<long double> z2 = z1 * z1;
    return std::abs((b0 + b1 * z1 + b2 * z2) / (a0 + a1 * z1 + a2 * z2));
  }
};

// Seven reference filters in series on one channel, in direct form I (input and output history).
class ReferenceBank {
 public:
  ReferenceBank(long double rate, std::array<long double, 7> gains) {
    for (std::size_t band = 0; band < 7; ++band) {
      filters_[band] = ReferenceBiquad::peaking(rate, std::min(kCentres[band], 0.45L * rate),
                                                std::clamp(gains[band], -12.0L, 12.0L));
    }
  }
  long double operator()(long double x) {
    for (std::size_t band = 0; band < 7; ++band) {
      const ReferenceBiquad& f = filters_[band];
      History& h = history_[band];
      const long double y =
          (f.b0 * x + f.b1 * h.x1 + f.b2 * h.x2 - f.a1 * h.y1 - f.a2 * h.y2) / f.a0;
      h = {x, h.x1, y, h.y1};
      x = y;
    }
    return x;
  }

 private:
  struct History {
    long double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  std::array<ReferenceBiquad, 7> filters_;
  std::array<History, 7> history_{};
};

// Reproducible noise in -1...1.
std::vector<float> noise(std::size_t count, std::uint32_t seed) {
  std::vector<float> samples(count);
  for (float& sample : samples) {
    seed = seed * 1664525u + 1013904223u;
    sample = static_cast<float>(seed >> 8) / static_cast<float>(1u << 23) - 1;
  }
  return samples;
}

std::vector<float> interleave(const std::vector<float>& left, const std::vector<float>& right) {
  std::vector<float> samples;
  for (std::size_t t = 0; t < left.size(); ++t) {
    samples.push_back(left[t]);
    samples.push_back(right[t]);
  }
  return samples;
}

InputBuffer input(const std::vector<float>& samples, std::uint32_t channels) {
  return {
      .channelCount = channels, .byteSize = samples.size() * sizeof(float), .data = samples.data()};
}
OutputBuffer output(std::vector<float>& samples, std::uint32_t channels) {
  return {
      .channelCount = channels, .byteSize = samples.size() * sizeof(float), .data = samples.data()};
}

// One callback with one buffer of interleaved stereo.
std::vector<float> processInterleaved(EqualizerDSP& dsp, const std::vector<float>& samples) {
  std::vector<float> result(samples.size(), kUntouched);
  const InputBuffer in = input(samples, 2);
  const OutputBuffer out = output(result, 2);
  EXPECT_TRUE(dsp.process({&in, 1}, {&out, 1}));
  return result;
}

// One callback with a buffer per channel; returns the result interleaved.
std::vector<float> processSeparate(EqualizerDSP& dsp, const std::vector<float>& left,
                                   const std::vector<float>& right) {
  std::vector<float> leftResult(left.size(), kUntouched);
  std::vector<float> rightResult(right.size(), kUntouched);
  const std::array<InputBuffer, 2> in{input(left, 1), input(right, 1)};
  const std::array<OutputBuffer, 2> out{output(leftResult, 1), output(rightResult, 1)};
  EXPECT_TRUE(dsp.process(in, out));
  return interleave(leftResult, rightResult);
}

void expectSameCoefficients(const Coefficients& actual, const Coefficients& expected) {
  EXPECT_FLOAT_EQ(actual.b0, expected.b0);
  EXPECT_FLOAT_EQ(actual.b1, expected.b1);
  EXPECT_FLOAT_EQ(actual.b2, expected.b2);
  EXPECT_FLOAT_EQ(actual.a1, expected.a1);
  EXPECT_FLOAT_EQ(actual.a2, expected.a2);
}

void expectFlat(const Coefficients& c) {
  EXPECT_EQ(c.b0, 1);
  EXPECT_EQ(c.b1, c.a1);
  EXPECT_EQ(c.b2, c.a2);
}

// --- Coefficients

TEST(EqualizerDSPCoefficients, AreTheCookbookPeakingFilterOfEveryBand) {
  // Computed once with python3 (standard library only): the cookbook formula in double,
  // a0 divided out, rounded to float with struct.pack('f', ...).
  const std::array<Coefficients, 7> expected{{
      {0.993354201f, -1.98216987f, 0.988895535f, -1.98216987f, 0.982249737f},   // 63 Hz, -12 dB
      {0.987762034f, -1.94969416f, 0.963169634f, -1.94969416f, 0.950931668f},   // 250 Hz, -6 dB
      {0.994076192f, -1.92041814f, 0.931225181f, -1.92041814f, 0.925301373f},   // 500, -1.5 dB
      {1.0f, -1.76710665f, 0.808244169f, -1.76710665f, 0.808244169f},           // 1500 Hz, 0 dB
      {1.0612601f, -1.54979753f, 0.641748428f, -1.54979753f, 0.703008473f},     // 3000 Hz, 3 dB
      {1.24009168f, -1.24862278f, 0.409760684f, -1.24862278f, 0.649852335f},    // 5000, 7.5 dB
      {1.5528512f, -0.680585861f, 0.0762410238f, -0.680585861f, 0.629092276f},  // 8000, 12 dB
  }};
  const std::vector<double> gains{-12, -6, -1.5, 0, 3, 7.5, 12};
  const auto coefficients = EqualizerDSP::makeCoefficients(44100, gains);
  for (std::size_t band = 0; band < 7; ++band) {
    SCOPED_TRACE(band);
    expectSameCoefficients(coefficients[band], expected[band]);
  }
}

TEST(EqualizerDSPCoefficients, TwelveDecibelsAt63HzGiveTheBoostedB0) {
  const std::vector<double> gains{12};
  const Coefficients low = EqualizerDSP::makeCoefficients(48000, gains)[0];
  const long double alpha = std::sin(2 * 3.14159265358979323846264338327950288L * 63 / 48000) / 2;
  const long double power = std::pow(10.0L, 0.3L);
  EXPECT_FLOAT_EQ(low.b0, static_cast<float>((1 + alpha * power) / (1 + alpha / power)));
  // The same filter from python3 as above.
  expectSameCoefficients(low,
                         {1.00614786f, -1.99580753f, 0.989727616f, -1.99580753f, 0.995875418f});
}

TEST(EqualizerDSPCoefficients, BandsAboveFortyFivePercentOfTheRateMoveDown) {
  const std::vector<double> gains{0, 0, 0, 0, 0, 0, 6};
  // At 16 kHz the 8 kHz band would sit on the Nyquist frequency; it is made at 7200 Hz
  // (python3 as above, 7200 Hz, +6 dB).
  expectSameCoefficients(EqualizerDSP::makeCoefficients(16000, gains)[6],
                         {1.09813142f, 1.71456742f, 0.704671443f, 1.71456742f, 0.802802861f});
  // Where the rate allows, the band stays at 8 kHz.
  const ReferenceBiquad at8k = ReferenceBiquad::peaking(48000, 8000, 6);
  EXPECT_FLOAT_EQ(EqualizerDSP::makeCoefficients(48000, gains)[6].a1,
                  static_cast<float>(at8k.a1 / at8k.a0));
}

TEST(EqualizerDSPCoefficients, MissingAndZeroGainsAreFlat) {
  const std::vector<double> shortGains{5, -7};
  const auto coefficients = EqualizerDSP::makeCoefficients(48000, shortGains);
  const auto padded =
      EqualizerDSP::makeCoefficients(48000, std::vector<double>{5, -7, 0, 0, 0, 0, 0});
  for (std::size_t band = 0; band < 7; ++band) {
    SCOPED_TRACE(band);
    expectSameCoefficients(coefficients[band], padded[band]);
    if (band >= 2) {
      expectFlat(coefficients[band]);
    }
  }
  EXPECT_NE(coefficients[1].b0, 1);
  for (const Coefficients& c : EqualizerDSP::makeCoefficients(48000, {})) {
    expectFlat(c);
  }
}

TEST(EqualizerDSPCoefficients, GainsAreClampedToTwelveDecibels) {
  const auto clamped = EqualizerDSP::makeCoefficients(
      48000, std::vector<double>{30, -30, kInfinity, -kInfinity, 12.5, -13, 0});
  const auto limits =
      EqualizerDSP::makeCoefficients(48000, std::vector<double>{12, -12, 12, -12, 12, -12, 0});
  for (std::size_t band = 0; band < 7; ++band) {
    SCOPED_TRACE(band);
    expectSameCoefficients(clamped[band], limits[band]);
  }
}

// A damaged stored gain or a route without a sample rate must not fill the filters with NaN,
// which would silence (or deafen) the route until it is rebuilt.
TEST(EqualizerDSPCoefficients, UnusableValuesLeaveTheBandFlat) {
  const auto withNaN = EqualizerDSP::makeCoefficients(48000, std::vector<double>{kNaN, 3});
  expectFlat(withNaN[0]);
  EXPECT_NE(withNaN[1].b0, 1);
  for (const double rate : {0.0, -48000.0, kNaN, kInfinity}) {
    SCOPED_TRACE(rate);
    for (const Coefficients& c : EqualizerDSP::makeCoefficients(rate, std::vector<double>(7, 6))) {
      EXPECT_TRUE(std::isfinite(c.b0) && std::isfinite(c.b1) && std::isfinite(c.b2) &&
                  std::isfinite(c.a1) && std::isfinite(c.a2));
      expectFlat(c);
    }
  }
}

// --- Processing

TEST(EqualizerDSPProcess, FlatGainsPassSamplesThroughUnchanged) {
  std::vector<float> left = noise(2048, 1);
  std::vector<float> right = noise(2048, 2);
  left[10] = 0;
  left[11] = 1e-30f;
  right[12] = -1e30f;
  const std::vector<float> samples = interleave(left, right);
  EqualizerDSP interleaved(48000, std::vector<double>(7, 0), 1);
  EqualizerDSP separate(48000, {}, 1);
  for (int callback = 0; callback < 3; ++callback) {
    EXPECT_EQ(processInterleaved(interleaved, samples), samples);
    EXPECT_EQ(processSeparate(separate, left, right), samples);
  }
}

TEST(EqualizerDSPProcess, FollowsTheReferenceFiltersOnEachChannel) {
  const std::array<long double, 7> gains{7, -12, 3.5, 12, -4, 9, -8};
  EqualizerDSP dsp(44100, std::vector<double>(gains.begin(), gains.end()), 1);
  ReferenceBank left(44100, gains);
  ReferenceBank right(44100, gains);
  const std::vector<float> leftIn = noise(4096, 3);
  const std::vector<float> rightIn = noise(4096, 4);
  // Two callbacks: states carry over from one to the next.
  std::vector<float> result = processSeparate(dsp, {leftIn.begin(), leftIn.begin() + 1000},
                                              {rightIn.begin(), rightIn.begin() + 1000});
  const std::vector<float> rest = processInterleaved(
      dsp,
      interleave({leftIn.begin() + 1000, leftIn.end()}, {rightIn.begin() + 1000, rightIn.end()}));
  result.insert(result.end(), rest.begin(), rest.end());
  // Float coefficients and states against exact ones: the rounding noise (loudest in the low
  // bands, whose poles sit close to the unit circle) stays 60 dB below the signal, where a
  // misplaced coefficient or a state shared between channels would be as loud as the signal.
  double worst = 0;
  double power = 0;
  for (std::size_t t = 0; t < leftIn.size(); ++t) {
    const long double expectedLeft = left(leftIn[t]);
    const long double expectedRight = right(rightIn[t]);
    power += static_cast<double>(expectedLeft * expectedLeft + expectedRight * expectedRight);
    worst = std::max(worst, std::abs(static_cast<double>(result[2 * t] - expectedLeft)));
    worst = std::max(worst, std::abs(static_cast<double>(result[2 * t + 1] - expectedRight)));
  }
  EXPECT_LT(worst / std::sqrt(power / static_cast<double>(result.size())), 1e-3);
}

TEST(EqualizerDSPProcess, InterleavedAndSeparateLayoutsGiveTheSameOutput) {
  const std::vector<double> gains{12, -3, 6, 0, -9, 4, 10};
  EqualizerDSP interleaved(48000, gains, 0.8);
  EqualizerDSP separate(48000, gains, 0.8);
  for (std::uint32_t callback = 0; callback < 3; ++callback) {
    const std::vector<float> left = noise(777, 10 + callback);
    const std::vector<float> right = noise(777, 20 + callback);
    EXPECT_EQ(processInterleaved(interleaved, interleave(left, right)),
              processSeparate(separate, left, right));
  }
}

TEST(EqualizerDSPProcess, UpdateBetweenCallbacksKeepsTheFilterStates) {
  const std::vector<double> gains{6, -6, 12, 0, 3, -12, 9};
  const std::vector<float> samples = noise(4000, 5);
  const std::vector<float> first(samples.begin(), samples.begin() + 2000);
  const std::vector<float> second(samples.begin() + 2000, samples.end());

  EqualizerDSP continuous(48000, gains, 1);
  EqualizerDSP updated(48000, gains, 1);
  std::vector<float> expected = processInterleaved(continuous, samples);
  std::vector<float> result = processInterleaved(updated, first);
  updated.update(gains, 1);
  const std::vector<float> rest = processInterleaved(updated, second);
  result.insert(result.end(), rest.begin(), rest.end());
  EXPECT_EQ(result, expected);

  // New gains take effect at once: from then on the bank differs from one started afresh with
  // them only by the fading memory of what it filtered before, and by float rounding.
  const std::vector<double> louder(7, 12);
  updated.update(louder, 1);
  EqualizerDSP fresh(48000, louder, 1);
  EXPECT_NE(processInterleaved(updated, first), processInterleaved(fresh, first));
  std::vector<float> late;
  std::vector<float> lateFresh;
  for (int callback = 0; callback < 3; ++callback) {
    late = processInterleaved(updated, second);
    lateFresh = processInterleaved(fresh, second);
  }
  for (std::size_t i = 0; i < late.size(); ++i) {
    ASSERT_NEAR(late[i], lateFresh[i], 1e-3) << i;
  }
}

TEST(EqualizerDSPProcess, VolumeScalesTheFilteredOutput) {
  const std::vector<double> gains{3, 0, -2, 8, 0, 1, 5};
  const std::vector<float> samples = noise(1000, 6);
  EqualizerDSP full(48000, gains, 1);
  const std::vector<float> reference = processInterleaved(full, samples);

  EqualizerDSP half(48000, gains, 0.5);
  const std::vector<float> halved = processInterleaved(half, samples);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    ASSERT_EQ(halved[i], reference[i] * 0.5f) << i;
  }

  // The setter, update, clamping to 0...1, and a NaN that keeps the volume in force.
  EqualizerDSP changed(48000, gains, 2);
  EXPECT_EQ(processInterleaved(changed, samples), reference);
  changed.setVolume(-1);
  changed.setVolume(kNaN);
  for (const float sample : processInterleaved(changed, samples)) {
    ASSERT_EQ(sample, 0);
  }
  changed.update(gains, 0.5);
  changed.update(gains, kNaN);
  const std::vector<float> again = processInterleaved(changed, samples);
  EqualizerDSP freshHalf(48000, gains, 0.5);
  processInterleaved(freshHalf, samples);
  processInterleaved(freshHalf, samples);
  EXPECT_EQ(again, processInterleaved(freshHalf, samples));
}

TEST(EqualizerDSPProcess, WorksInPlace) {
  const std::vector<double> gains{4, 4, -4, 0, 2, 2, -6};
  std::vector<float> samples = noise(600, 7);
  EqualizerDSP apart(48000, gains, 0.7);
  const std::vector<float> expected = processInterleaved(apart, samples);
  EqualizerDSP inPlace(48000, gains, 0.7);
  const InputBuffer in = input(samples, 2);
  const OutputBuffer out = output(samples, 2);
  EXPECT_TRUE(inPlace.process({&in, 1}, {&out, 1}));
  EXPECT_EQ(samples, expected);
}

// Subnormal floats cost the audio thread a hundred times as much as normal ones; the decay after
// the sound stops must skip them and end in silence.
TEST(EqualizerDSPProcess, SilenceAfterSoundDecaysWithoutSubnormals) {
  EqualizerDSP dsp(48000, std::vector<double>{12, 12, -12, 6, 6, -6, 12}, 1);
  processInterleaved(dsp, noise(9600, 11));
  const std::vector<float> silence(9600, 0.0f);
  std::vector<float> quiet;
  for (int callback = 0; callback < 20; ++callback) {
    quiet = processInterleaved(dsp, silence);
    for (const float sample : quiet) {
      ASSERT_NE(std::fpclassify(sample), FP_SUBNORMAL) << "callback " << callback;
    }
  }
  for (const float sample : quiet) {
    ASSERT_LT(std::abs(sample), 1e-30f);
  }
}

// --- Refusals

class EqualizerDSPRefusal : public ::testing::Test {
 protected:
  // Output of a fresh filter bank for the samples, to compare states against.
  std::vector<float> fromFreshStates(const std::vector<float>& samples) {
    EqualizerDSP fresh(48000, gains_, 1);
    return processInterleaved(fresh, samples);
  }

  std::vector<double> gains_{9, -9, 9, -9, 9, -9, 9};
  EqualizerDSP dsp_{48000, gains_, 1};
  std::vector<float> a_ = noise(256, 8);
  std::vector<float> b_ = noise(256, 9);
  std::vector<float> c_ = noise(256, 10);
  std::vector<float> outA_ = std::vector<float>(256, kUntouched);
  std::vector<float> outB_ = std::vector<float>(256, kUntouched);
  std::vector<float> outC_ = std::vector<float>(256, kUntouched);
  const std::vector<float> untouched_ = std::vector<float>(256, kUntouched);
};

TEST_F(EqualizerDSPRefusal, DifferentBufferCountsTouchNothing) {
  const std::array<InputBuffer, 2> in{input(a_, 1), input(b_, 1)};
  const std::array<OutputBuffer, 1> out{output(outA_, 2)};
  EXPECT_FALSE(dsp_.process(in, out));
  EXPECT_FALSE(dsp_.process(std::span(in).first(1), {}));
  EXPECT_EQ(outA_, untouched_);
  EXPECT_EQ(processInterleaved(dsp_, a_), fromFreshStates(a_));
}

TEST_F(EqualizerDSPRefusal, AThirdChannelIsNeverProcessed) {
  // One buffer of three channels.
  {
    const InputBuffer in = input(a_, 3);
    const OutputBuffer out = output(outA_, 3);
    EXPECT_FALSE(dsp_.process({&in, 1}, {&out, 1}));
    EXPECT_EQ(outA_, untouched_);
  }
  // Three buffers of one channel: the first two are processed before the refusal.
  {
    const std::array<InputBuffer, 3> in{input(a_, 1), input(b_, 1), input(c_, 1)};
    const std::array<OutputBuffer, 3> out{output(outA_, 1), output(outB_, 1), output(outC_, 1)};
    EXPECT_FALSE(dsp_.process(in, out));
    EqualizerDSP fresh(48000, gains_, 1);
    EXPECT_EQ(interleave(outA_, outB_), processSeparate(fresh, a_, b_));
    EXPECT_EQ(outC_, untouched_);
  }
  // Two buffers of two channels: the second would be channels 3 and 4.
  {
    std::fill(outB_.begin(), outB_.end(), kUntouched);
    const std::array<InputBuffer, 2> in{input(a_, 2), input(b_, 2)};
    const std::array<OutputBuffer, 2> out{output(outA_, 2), output(outB_, 2)};
    EqualizerDSP other(48000, gains_, 1);
    EXPECT_FALSE(other.process(in, out));
    EXPECT_EQ(outA_, fromFreshStates(a_));
    EXPECT_EQ(outB_, untouched_);
  }
}

TEST_F(EqualizerDSPRefusal, BuffersMustHaveDataAndMatchingChannels) {
  const auto refuses = [&](InputBuffer in, OutputBuffer out) {
    EXPECT_FALSE(dsp_.process({&in, 1}, {&out, 1}));
    EXPECT_EQ(outA_, untouched_);
  };
  refuses({.channelCount = 2, .byteSize = 1024, .data = nullptr}, output(outA_, 2));
  refuses(input(a_, 2), {.channelCount = 2, .byteSize = 1024, .data = nullptr});
  refuses(input(a_, 2), output(outA_, 1));
  refuses(input(a_, 0), output(outA_, 0));
  EXPECT_EQ(processInterleaved(dsp_, a_), fromFreshStates(a_));
}

TEST_F(EqualizerDSPRefusal, TheShorterBufferSetsTheLengthAndPartialFramesStay) {
  // Less than one sample per channel: nothing is written, yet the buffer still counts as its
  // channels, so the next buffer is the right channel.
  {
    InputBuffer tooShort = input(a_, 2);
    tooShort.byteSize = 7;
    const OutputBuffer out = output(outA_, 2);
    EXPECT_TRUE(dsp_.process({&tooShort, 1}, {&out, 1}));
    EXPECT_EQ(outA_, untouched_);

    // Give the two channels different histories, so it shows which one a buffer is filtered as.
    EqualizerDSP twin(48000, gains_, 1);
    processInterleaved(dsp_, a_);
    processInterleaved(twin, a_);
    const std::array<InputBuffer, 2> in{input(c_, 1), input(b_, 1)};
    std::array<OutputBuffer, 2> outs{output(outA_, 1), output(outB_, 1)};
    outs[0].byteSize = 3;
    EXPECT_TRUE(dsp_.process(in, outs));
    EXPECT_EQ(outA_, untouched_);
    const std::vector<float> both = processSeparate(twin, c_, b_);
    for (std::size_t t = 0; t < b_.size(); ++t) {
      ASSERT_EQ(outB_[t], both[2 * t + 1]) << t;
    }
  }
  // 101 samples (and a stray byte) in, more room out: 50 frames written, the odd sample left.
  {
    InputBuffer in = input(a_, 2);
    in.byteSize = 101 * sizeof(float) + 1;
    const OutputBuffer out = output(outC_, 2);
    EqualizerDSP fresh(48000, gains_, 1);
    EXPECT_TRUE(fresh.process({&in, 1}, {&out, 1}));
    const std::vector<float> expected = fromFreshStates({a_.begin(), a_.begin() + 100});
    EXPECT_EQ(std::vector<float>(outC_.begin(), outC_.begin() + 100), expected);
    EXPECT_EQ(outC_[100], kUntouched);
  }
}

// --- Frequency response

// Amplitude of the sine at this frequency in one channel of interleaved samples, by a least-squares
// fit of sine and cosine over the samples from `start` on.
long double amplitude(const std::vector<float>& samples, std::size_t channel, std::size_t start,
                      long double rate, long double frequency) {
  long double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (std::size_t t = start; t < samples.size() / 2; ++t) {
    const long double w = 2 * 3.14159265358979323846264338327950288L * frequency * t / rate;
    const long double s = std::sin(w), c = std::cos(w), y = samples[2 * t + channel];
    ss += s * s;
    sc += s * c;
    cc += c * c;
    ys += y * s;
    yc += y * c;
  }
  const long double determinant = ss * cc - sc * sc;
  const long double p = (ys * cc - yc * sc) / determinant;
  const long double q = (yc * ss - ys * sc) / determinant;
  return std::hypot(p, q);
}

// Level change in dB through the bank at this frequency, per channel.
std::array<long double, 2> measuredGain(EqualizerDSP& dsp, long double rate,
                                        long double frequency) {
  // Half a second for the filters to settle (the slowest, at 63 Hz, decays within 0.05 s), then a
  // quarter second measured.
  const std::size_t settle = static_cast<std::size_t>(rate / 2);
  const std::size_t frames = settle + static_cast<std::size_t>(rate / 4);
  std::vector<float> samples(2 * frames);
  for (std::size_t t = 0; t < frames; ++t) {
    const long double w = 2 * 3.14159265358979323846264338327950288L * frequency * t / rate;
    samples[2 * t] = static_cast<float>(0.5L * std::sin(w));
    samples[2 * t + 1] = static_cast<float>(-0.25L * std::sin(w));
  }
  const std::vector<float> result = processInterleaved(dsp, samples);
  std::array<long double, 2> gains{};
  for (std::size_t channel = 0; channel < 2; ++channel) {
    gains[channel] = 20 * std::log10(amplitude(result, channel, settle, rate, frequency) /
                                     amplitude(samples, channel, settle, rate, frequency));
  }
  return gains;
}

TEST(EqualizerDSPFrequencyResponse, SixDecibelsOnABandRaiseItsCentreBySix) {
  for (std::size_t band = 0; band < 7; ++band) {
    std::vector<double> gains(7, 0);
    gains[band] = 6;
    const ReferenceBiquad reference = ReferenceBiquad::peaking(48000, kCentres[band], 6);
    for (std::size_t centre = 0; centre < 7; ++centre) {
      SCOPED_TRACE(testing::Message() << "+6 dB at band " << band << ", measured at "
                                      << static_cast<double>(kCentres[centre]) << " Hz");
      EqualizerDSP dsp(48000, gains, 1);
      const auto measured = measuredGain(dsp, 48000, kCentres[centre]);
      const long double predicted = 20 * std::log10(reference.magnitude(48000, kCentres[centre]));
      for (const long double gain : measured) {
        if (centre == band) {
          EXPECT_NEAR(static_cast<double>(gain), 6, 0.1);
        }
        EXPECT_NEAR(static_cast<double>(gain), static_cast<double>(predicted), 0.01);
      }
    }
  }
}

TEST(EqualizerDSPFrequencyResponse, At16kHzTheTopBandPeaksAt7200Hz) {
  EqualizerDSP dsp(16000, std::vector<double>{0, 0, 0, 0, 0, 0, 6}, 1);
  for (const long double gain : measuredGain(dsp, 16000, 7200)) {
    EXPECT_NEAR(static_cast<double>(gain), 6, 0.1);
  }
}

}  // namespace
}  // namespace orvel
