// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "native/AudioServer.h"
#include "platform/pulse/PulsePtr.h"

namespace orvel {

class PulseMainLoop;

// A record stream on a source and a playback stream to the default sink, both stereo 32-bit
// float at one rate. Each captured fragment is copied straight into the playback stream's
// buffer, filtered there in place and queued: the PulseAudio thread does all of it and touches
// nothing but the processor and the two streams.
class PulsePassThrough final : public AudioPassThrough {
 public:
  // Called holding no lock, on the main thread.
  static AudioServerResult<std::unique_ptr<AudioPassThrough>> open(
      std::shared_ptr<PulseMainLoop> loop, const std::string& source, std::uint32_t sampleRate,
      std::shared_ptr<AudioProcessor> processor, std::function<void(AudioServerError)> failed);

  ~PulsePassThrough() override;
  PulsePassThrough(const PulsePassThrough&) = delete;
  PulsePassThrough& operator=(const PulsePassThrough&) = delete;

  StreamFormat captureFormat() const override { return captureFormat_; }
  StreamFormat playbackFormat() const override { return playbackFormat_; }

  // The playback stream's target: this much queued ahead of the output at most, so the delay the
  // route adds stays bounded even when the two sinks' clocks drift apart.
  static constexpr double kPlaybackTargetSeconds = 0.040;
  // Playback starts once this much is queued: the margin against a late wake-up of the
  // PulseAudio thread on a busy machine.
  static constexpr double kPlaybackStartSeconds = 0.020;
  // How much the capture hands over at a time.
  static constexpr double kCaptureFragmentSeconds = 0.010;

 private:
  PulsePassThrough(std::shared_ptr<PulseMainLoop> loop, std::shared_ptr<AudioProcessor> processor,
                   std::function<void(AudioServerError)> failed);

  static void stateChanged(pa_stream* stream, void* userdata);
  static void captured(pa_stream* stream, std::size_t bytes, void* userdata);
  void forward(const float* samples, std::size_t frames);
  AudioServerError failure(pa_stream* stream) const;
  // Called with the loop locked; on failure the streams are gone.
  std::optional<AudioServerError> connect(pa_context* context, const std::string& source,
                                          std::uint32_t sampleRate);
  std::optional<AudioServerError> waitUntilReady();

  std::shared_ptr<PulseMainLoop> loop_;
  std::shared_ptr<AudioProcessor> processor_;
  std::function<void(AudioServerError)> failed_;
  // Dropped when this goes; a failure posted earlier then finds nobody to tell.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  PulseStreamPtr capture_;
  PulseStreamPtr playback_;
  bool opened_ = false;
  bool reported_ = false;
  StreamFormat captureFormat_;
  StreamFormat playbackFormat_;
};

}  // namespace orvel
