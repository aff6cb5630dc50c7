// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace orvel {

// A client of the test's sound server, with its own connection and thread: to the route it is
// another process. Construction waits until the connection is ready.
class PulseTestClient {
 public:
  explicit PulseTestClient(const std::string& name);
  ~PulseTestClient();
  PulseTestClient(const PulseTestClient&) = delete;
  PulseTestClient& operator=(const PulseTestClient&) = delete;

  bool ready() const { return ready_; }

 protected:
  // Connects a stream made by `make` and waits until it plays or records.
  bool connectStream(pa_stream* stream, bool playback, const std::string& device,
                     const pa_buffer_attr& buffer, pa_stream_flags_t flags);
  void waitFor(const std::function<bool()>& done, double seconds);
  static std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;

 private:
  bool ready_ = false;
};

// Plays as the web engine's process would: a stream whose process binary is the given one,
// carrying a continuous tone, silence with short clicks on request, or a counter: a ramp whose
// every frame says where it is in a period of 100 ms, so that a frame heard twice or left out
// shows.
class TestPlayer final : public PulseTestClient {
 public:
  enum class Signal { tone, clicks, counter };
  static constexpr std::uint32_t kCounterPeriod = 4800;
  static constexpr float kCounterStep = 1.0f / 4096;
  static constexpr float kCounterLowest = -0.6f;

  TestPlayer(const std::string& processBinary, Signal signal, double frequency = 1500,
             double amplitude = 0.1);
  ~TestPlayer();

  void setCorked(bool corked);
  // Puts a click at the start of the next write; returns when that write happened.
  std::optional<std::chrono::steady_clock::time_point> click(double timeoutSeconds = 2);

  static constexpr std::uint32_t kRate = 48000;

 private:
  static void writable(pa_stream* stream, std::size_t bytes, void* userdata);

  Signal signal_;
  double frequency_;
  double amplitude_;
  double phase_ = 0;
  std::uint32_t count_ = 0;
  bool clickWanted_ = false;
  std::optional<std::chrono::steady_clock::time_point> clickWritten_;
};

// Records a source and measures what arrives: the level over a stretch, or when a click came.
class TestMeter final : public PulseTestClient {
 public:
  explicit TestMeter(const std::string& source);
  ~TestMeter();

  // The RMS level in dBFS over the next `seconds` of sound; none on timeout.
  std::optional<double> levelOver(double seconds);
  // When the first sample above the threshold arrived after this call, corrected for its place
  // in the fragment that carried it.
  std::optional<std::chrono::steady_clock::time_point> nextClick(double timeoutSeconds,
                                                                 float threshold = 0.05f);
  // Starts watching for silence in what arrives; `longestSilence` says the longest stretch since.
  void watchSilence();
  // The longest stretch of silence (in ms) between `watchSilence` and `seconds` of sound after
  // it; none on timeout.
  std::optional<double> longestSilence(double seconds);
  // Of the 10 ms blocks of each of the next `seconds`, the share that break a steady tone of this
  // frequency: a sample far from the one the two before it predict, or a hole; none on timeout.
  std::optional<std::vector<double>> brokenBlocksEachSecond(int seconds, double frequency);
  // Starts following a counter's sound; `counterBreaks` says, once `seconds` of it arrived since,
  // the frames heard again, the frames left out and the silent frames between them; none on
  // timeout.
  struct CounterBreaks {
    std::uint64_t repeated = 0;
    std::uint64_t skipped = 0;
    std::uint64_t silent = 0;
    // Frames that are no frame of the counter (two sounds mixed, or another sound).
    std::uint64_t foreign = 0;
  };
  void watchCounter();
  std::optional<CounterBreaks> counterBreaks(double seconds);

 private:
  static void readable(pa_stream* stream, std::size_t bytes, void* userdata);

  // Guarded by the loop's lock.
  double sumOfSquares_ = 0;
  std::uint64_t samples_ = 0;
  bool watchingClicks_ = false;
  float threshold_ = 0;
  std::optional<std::chrono::steady_clock::time_point> clickArrived_;
  // The tone being checked, as the factor of the two-sample prediction; none when not checking.
  std::optional<double> toneFactor_;
  float before_[2] = {0, 0};
  std::uint64_t history_ = 0;
  std::uint64_t blockFrames_ = 0;
  bool blockBroken_ = false;
  std::uint64_t blocks_ = 0;
  std::vector<std::uint64_t> brokenEachSecond_;

  bool watchingSilence_ = false;
  std::uint64_t watchedFrames_ = 0;
  std::uint64_t silentRun_ = 0;
  std::uint64_t longestSilentRun_ = 0;

  bool checkingCounter_ = false;
  std::optional<std::uint32_t> lastCount_;
  std::uint64_t countedFrames_ = 0;
  CounterBreaks counterBreaks_;

  void checkTone(const float* samples, std::size_t frames);
  void checkCounter(const float* samples, std::size_t frames);
  void checkSilence(const float* samples, std::size_t frames);
};

}  // namespace orvel
