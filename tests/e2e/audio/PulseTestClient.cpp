// SPDX-License-Identifier: GPL-3.0-or-later

#include "e2e/audio/PulseTestClient.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvel {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

void signalLoop(pa_threaded_mainloop* loop) {
  pa_threaded_mainloop_signal(loop, 0);
}

}  // namespace

PulseTestClient::PulseTestClient(const std::string& name) : loop_(pa_threaded_mainloop_new()) {
  pa_threaded_mainloop_start(loop_);
  pa_threaded_mainloop_lock(loop_);
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), name.c_str());
  pa_context_set_state_callback(
      context_,
      [](pa_context*, void* userdata) { signalLoop(static_cast<pa_threaded_mainloop*>(userdata)); },
      loop_);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
    waitFor(
        [this] {
          const pa_context_state_t state = pa_context_get_state(context_);
          return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        10);
    ready_ = pa_context_get_state(context_) == PA_CONTEXT_READY;
  }
  pa_threaded_mainloop_unlock(loop_);
}

PulseTestClient::~PulseTestClient() {
  pa_threaded_mainloop_lock(loop_);
  if (stream_) {
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
      pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
  }
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  pa_threaded_mainloop_unlock(loop_);
  pa_threaded_mainloop_stop(loop_);
  pa_threaded_mainloop_free(loop_);
}

void PulseTestClient::waitFor(const std::function<bool()>& done, double seconds) {
  // The loop is woken by the stream's and context's callbacks and by this timer, whichever
  // comes first; a test never waits past its deadline.
  struct Deadline {
    pa_threaded_mainloop* loop;
    bool passed = false;
  } deadline{loop_};
  pa_time_event* timer = pa_context_rttime_new(
      context_, pa_rtclock_now() + static_cast<pa_usec_t>(seconds * PA_USEC_PER_SEC),
      [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
        auto* reached = static_cast<Deadline*>(userdata);
        reached->passed = true;
        signalLoop(reached->loop);
      },
      &deadline);
  while (!done() && !deadline.passed && PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
    pa_threaded_mainloop_wait(loop_);
  }
  if (timer) {
    pa_threaded_mainloop_get_api(loop_)->time_free(timer);
  }
}

bool PulseTestClient::connectStream(pa_stream* stream, bool playback, const std::string& device,
                                    const pa_buffer_attr& buffer, pa_stream_flags_t flags) {
  stream_ = stream;
  pa_stream_set_state_callback(
      stream_,
      [](pa_stream*, void* userdata) { signalLoop(static_cast<pa_threaded_mainloop*>(userdata)); },
      loop_);
  const char* target = device.empty() ? nullptr : device.c_str();
  const int connected =
      playback ? pa_stream_connect_playback(stream_, target, &buffer, flags, nullptr, nullptr)
               : pa_stream_connect_record(stream_, target, &buffer, flags);
  if (connected < 0) {
    return false;
  }
  waitFor(
      [this] {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
      },
      10);
  return pa_stream_get_state(stream_) == PA_STREAM_READY;
}

TestPlayer::TestPlayer(const std::string& processBinary, Signal signal, double frequency,
                       double amplitude)
    : PulseTestClient("test player"),
      signal_(signal),
      frequency_(frequency),
      amplitude_(amplitude) {
  if (!ready()) {
    return;
  }
  pa_threaded_mainloop_lock(loop_);
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, 2};
  pa_proplist* properties = pa_proplist_new();
  pa_proplist_sets(properties, PA_PROP_APPLICATION_PROCESS_BINARY, processBinary.c_str());
  pa_stream* stream = pa_stream_new_with_proplist(context_, "tone", &spec, nullptr, properties);
  pa_proplist_free(properties);
  pa_stream_set_write_callback(stream, writable, this);
  // Clicks get a short buffer, so that their write times say when they play; a tone gets a
  // long one, so that a busy machine does not break it up.
  const std::uint32_t unset = static_cast<std::uint32_t>(-1);
  const std::uint32_t target = signal == Signal::clicks ? kRate / 50 : kRate / 4;
  const pa_buffer_attr buffer{unset, target * static_cast<std::uint32_t>(kFrameBytes), unset, unset,
                              unset};
  connectStream(stream, true, "", buffer, PA_STREAM_ADJUST_LATENCY);
  pa_threaded_mainloop_unlock(loop_);
}

TestPlayer::~TestPlayer() = default;

void TestPlayer::setCorked(bool corked) {
  pa_threaded_mainloop_lock(loop_);
  bool done = false;
  struct Corking {
    pa_threaded_mainloop* loop;
    bool* done;
  } corking{loop_, &done};
  if (pa_operation* operation = pa_stream_cork(
          stream_, corked ? 1 : 0,
          [](pa_stream*, int, void* userdata) {
            auto* answered = static_cast<Corking*>(userdata);
            *answered->done = true;
            signalLoop(answered->loop);
          },
          &corking)) {
    waitFor([&] { return done; }, 5);
    if (!done) {
      pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
  }
  pa_threaded_mainloop_unlock(loop_);
}

std::optional<std::chrono::steady_clock::time_point> TestPlayer::click(double timeoutSeconds) {
  pa_threaded_mainloop_lock(loop_);
  clickWritten_.reset();
  clickWanted_ = true;
  waitFor([this] { return clickWritten_.has_value(); }, timeoutSeconds);
  auto written = clickWritten_;
  pa_threaded_mainloop_unlock(loop_);
  return written;
}

void TestPlayer::writable(pa_stream* stream, std::size_t bytes, void* userdata) {
  auto* self = static_cast<TestPlayer*>(userdata);
  std::vector<float> samples(bytes / sizeof(float) / 2 * 2, 0.0f);
  if (self->signal_ == Signal::tone) {
    const double step = 2 * std::numbers::pi * self->frequency_ / kRate;
    for (std::size_t frame = 0; frame < samples.size() / 2; ++frame) {
      const auto value = static_cast<float>(self->amplitude_ * std::sin(self->phase_));
      samples[2 * frame] = value;
      samples[2 * frame + 1] = value;
      self->phase_ = std::fmod(self->phase_ + step, 2 * std::numbers::pi);
    }
  } else if (self->signal_ == Signal::counter) {
    for (std::size_t frame = 0; frame < samples.size() / 2; ++frame) {
      const float value = kCounterLowest + static_cast<float>(self->count_) * kCounterStep;
      samples[2 * frame] = value;
      samples[2 * frame + 1] = value;
      self->count_ = (self->count_ + 1) % kCounterPeriod;
    }
  } else if (self->clickWanted_) {
    // One millisecond at half scale: far above the silence around it.
    const std::size_t clickFrames = std::min<std::size_t>(kRate / 1000, samples.size() / 2);
    std::fill(samples.begin(), samples.begin() + static_cast<long>(2 * clickFrames), 0.5f);
    self->clickWanted_ = false;
    self->clickWritten_ = now();
    signalLoop(self->loop_);
  }
  pa_stream_write(stream, samples.data(), samples.size() * sizeof(float), nullptr, 0,
                  PA_SEEK_RELATIVE);
}

TestMeter::TestMeter(const std::string& source) : PulseTestClient("test meter") {
  if (!ready()) {
    return;
  }
  pa_threaded_mainloop_lock(loop_);
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, TestPlayer::kRate, 2};
  pa_stream* stream = pa_stream_new(context_, "meter", &spec, nullptr);
  pa_stream_set_read_callback(stream, readable, this);
  const std::uint32_t unset = static_cast<std::uint32_t>(-1);
  const pa_buffer_attr buffer{unset, unset, unset, unset, TestPlayer::kRate / 200 * kFrameBytes};
  connectStream(stream, false, source, buffer, PA_STREAM_ADJUST_LATENCY);
  pa_threaded_mainloop_unlock(loop_);
}

TestMeter::~TestMeter() = default;

std::optional<double> TestMeter::levelOver(double seconds) {
  pa_threaded_mainloop_lock(loop_);
  sumOfSquares_ = 0;
  samples_ = 0;
  const auto wanted = static_cast<std::uint64_t>(seconds * TestPlayer::kRate * 2);
  waitFor([&] { return samples_ >= wanted; }, seconds + 5);
  std::optional<double> level;
  if (samples_ >= wanted) {
    level = 10 * std::log10(std::max(sumOfSquares_ / static_cast<double>(samples_), 1e-20));
  }
  pa_threaded_mainloop_unlock(loop_);
  return level;
}

std::optional<std::chrono::steady_clock::time_point> TestMeter::nextClick(double timeoutSeconds,
                                                                          float threshold) {
  pa_threaded_mainloop_lock(loop_);
  clickArrived_.reset();
  threshold_ = threshold;
  watchingClicks_ = true;
  waitFor([this] { return clickArrived_.has_value(); }, timeoutSeconds);
  watchingClicks_ = false;
  auto arrived = clickArrived_;
  pa_threaded_mainloop_unlock(loop_);
  return arrived;
}

std::optional<std::vector<double>> TestMeter::brokenBlocksEachSecond(int seconds,
                                                                     double frequency) {
  pa_threaded_mainloop_lock(loop_);
  toneFactor_ = 2 * std::cos(2 * M_PI * frequency / TestPlayer::kRate);
  history_ = 0;
  blockFrames_ = 0;
  blockBroken_ = false;
  blocks_ = 0;
  brokenEachSecond_.assign(static_cast<std::size_t>(seconds), 0);
  const auto wanted = static_cast<std::uint64_t>(seconds) * 100;
  waitFor([&] { return blocks_ >= wanted; }, seconds + 5);
  std::optional<std::vector<double>> shares;
  if (blocks_ >= wanted) {
    shares.emplace();
    for (std::uint64_t broken : brokenEachSecond_) {
      shares->push_back(static_cast<double>(broken) / 100);
    }
  }
  toneFactor_.reset();
  pa_threaded_mainloop_unlock(loop_);
  return shares;
}

void TestMeter::watchCounter() {
  pa_threaded_mainloop_lock(loop_);
  lastCount_.reset();
  countedFrames_ = 0;
  counterBreaks_ = {};
  checkingCounter_ = true;
  pa_threaded_mainloop_unlock(loop_);
}

std::optional<TestMeter::CounterBreaks> TestMeter::counterBreaks(double seconds) {
  pa_threaded_mainloop_lock(loop_);
  const auto wanted = static_cast<std::uint64_t>(seconds * TestPlayer::kRate);
  waitFor([&] { return countedFrames_ >= wanted; }, seconds + 5);
  std::optional<CounterBreaks> breaks;
  if (countedFrames_ >= wanted) {
    breaks = counterBreaks_;
  }
  checkingCounter_ = false;
  pa_threaded_mainloop_unlock(loop_);
  return breaks;
}

// Follows the left channel. Silence between two frames is a pause, not a break: what matters is
// whether the frame after it is the one after the frame before it.
void TestMeter::checkCounter(const float* samples, std::size_t frames) {
  constexpr std::uint32_t period = TestPlayer::kCounterPeriod;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    ++countedFrames_;
    if (!samples || std::fabs(samples[2 * frame]) < 1e-5f) {
      ++counterBreaks_.silent;
      continue;
    }
    const long count =
        std::lround((samples[2 * frame] - TestPlayer::kCounterLowest) / TestPlayer::kCounterStep);
    if (count < 0 || count >= static_cast<long>(period) ||
        std::fabs(samples[2 * frame] - (TestPlayer::kCounterLowest +
                                        static_cast<float>(count) * TestPlayer::kCounterStep)) >
            TestPlayer::kCounterStep / 4) {
      ++counterBreaks_.foreign;
      lastCount_.reset();
      continue;
    }
    const auto current = static_cast<std::uint32_t>(count);
    if (lastCount_) {
      const std::uint32_t ahead = (current + period - *lastCount_) % period;
      if (ahead == 0) {
        ++counterBreaks_.repeated;
      } else if (ahead > period / 2) {
        counterBreaks_.repeated += period - ahead + 1;
      } else {
        counterBreaks_.skipped += ahead - 1;
      }
    }
    lastCount_ = current;
  }
}

void TestMeter::watchSilence() {
  pa_threaded_mainloop_lock(loop_);
  watchedFrames_ = 0;
  silentRun_ = 0;
  longestSilentRun_ = 0;
  watchingSilence_ = true;
  pa_threaded_mainloop_unlock(loop_);
}

std::optional<double> TestMeter::longestSilence(double seconds) {
  pa_threaded_mainloop_lock(loop_);
  const auto wanted = static_cast<std::uint64_t>(seconds * TestPlayer::kRate);
  waitFor([&] { return watchedFrames_ >= wanted; }, seconds + 5);
  std::optional<double> longest;
  if (watchedFrames_ >= wanted) {
    longest =
        static_cast<double>(std::max(longestSilentRun_, silentRun_)) * 1000 / TestPlayer::kRate;
  }
  watchingSilence_ = false;
  pa_threaded_mainloop_unlock(loop_);
  return longest;
}

// A hole counts as silence.
void TestMeter::checkSilence(const float* samples, std::size_t frames) {
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const bool silent = !samples || std::fabs(samples[2 * frame]) < 1e-4f;
    silentRun_ = silent ? silentRun_ + 1 : 0;
    longestSilentRun_ = std::max(longestSilentRun_, silentRun_);
  }
  watchedFrames_ += frames;
}

// Follows the left channel: a steady tone's every sample is the factor times the one before,
// less the one before that.
void TestMeter::checkTone(const float* samples, std::size_t frames) {
  constexpr std::uint64_t kBlockFrames = TestPlayer::kRate / 100;
  for (std::size_t frame = 0; frame < frames; ++frame) {
    const float sample = samples ? samples[2 * frame] : 0;
    if (!samples) {
      blockBroken_ = true;
      history_ = 0;
    } else if (history_ >= 2 &&
               std::fabs(sample - (*toneFactor_ * before_[1] - before_[0])) > 0.005) {
      blockBroken_ = true;
    }
    if (samples) {
      before_[0] = before_[1];
      before_[1] = sample;
      ++history_;
    }
    if (++blockFrames_ == kBlockFrames) {
      if (blockBroken_ && blocks_ / 100 < brokenEachSecond_.size()) {
        ++brokenEachSecond_[blocks_ / 100];
      }
      ++blocks_;
      blockFrames_ = 0;
      blockBroken_ = false;
    }
  }
}

void TestMeter::readable(pa_stream* stream, std::size_t, void* userdata) {
  auto* self = static_cast<TestMeter*>(userdata);
  const auto arrival = now();
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
    if (self->toneFactor_) {
      self->checkTone(static_cast<const float*>(data), bytes / kFrameBytes);
    }
    if (self->checkingCounter_) {
      self->checkCounter(static_cast<const float*>(data), bytes / kFrameBytes);
    }
    if (self->watchingSilence_) {
      self->checkSilence(static_cast<const float*>(data), bytes / kFrameBytes);
    }
    if (data) {
      const auto* samples = static_cast<const float*>(data);
      const std::size_t count = bytes / sizeof(float);
      for (std::size_t index = 0; index < count; ++index) {
        self->sumOfSquares_ += static_cast<double>(samples[index]) * samples[index];
        if (self->watchingClicks_ && !self->clickArrived_ &&
            std::fabs(samples[index]) > self->threshold_) {
          // The fragment arrived when its last frame had been recorded.
          const double framesAfter = static_cast<double>(count - index) / 2;
          self->clickArrived_ = arrival - std::chrono::microseconds(static_cast<std::int64_t>(
                                              framesAfter * 1e6 / TestPlayer::kRate));
        }
      }
      self->samples_ += count;
    }
    pa_stream_drop(stream);
  }
  signalLoop(self->loop_);
}

}  // namespace orvel
