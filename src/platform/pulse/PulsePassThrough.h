// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "native/AudioServer.h"
#include "native/PlaybackLevel.h"
#include "platform/pulse/PulsePtr.h"

namespace orvel {

class PulseMainLoop;

// A record stream on a source and a playback stream to the default sink, both stereo 32-bit
// float at one rate. Each captured fragment is copied straight into the playback stream's
// buffer, filtered there in place and queued, with the playback queue held at a steady level:
// the PulseAudio thread does all of it and touches nothing but the processor, the level and the
// two streams.
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

  // The playback stream's room: well above its level, so that fragments arriving together after a
  // late wake-up are all kept.
  static constexpr double kPlaybackRoomSeconds = 0.080;
  // The level the playback queue is kept at, just after a fragment is queued: the margin against
  // a late wake-up of the PulseAudio thread on a busy machine.
  static constexpr double kPlaybackLevelSeconds = 0.030;
  // A lasting rise of the level beyond this (the two sinks' clocks drift apart, a stall left a
  // backlog) is cut, so that the delay the route adds stays bounded.
  static constexpr double kPlaybackRiseSeconds = 0.010;
  // How much the capture hands over at a time.
  static constexpr double kCaptureFragmentSeconds = 0.010;
  // The playback server asks for more in steps this small, so that what it has asked for tells
  // the level closely.
  static constexpr double kPlaybackRequestSeconds = 0.005;

 private:
  PulsePassThrough(std::shared_ptr<PulseMainLoop> loop, std::shared_ptr<AudioProcessor> processor,
                   std::function<void(AudioServerError)> failed, std::uint32_t sampleRate);

  static void stateChanged(pa_stream* stream, void* userdata);
  static void captured(pa_stream* stream, std::size_t bytes, void* userdata);
  // Queues the silence the level asks for ahead of `incoming` captured frames; returns how many
  // of them to leave out.
  std::size_t prepareFor(std::size_t incoming);
  // Filters and queues the frames; none (silence) when `samples` is null.
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
  // Touched on the PulseAudio thread only.
  PlaybackLevel level_;
  bool opened_ = false;
  bool reported_ = false;
  StreamFormat captureFormat_;
  StreamFormat playbackFormat_;
};

}  // namespace orvel
