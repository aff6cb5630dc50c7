// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <mpv/client.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "native/MediaEnginePlayer.h"
#include "platform/mpv/MpvEngineContext.h"

namespace orvel {

// One libmpv core playing one media. The calls of the main thread never wait for the core:
// requests go in order to the player's event thread, which runs them and mirrors the
// properties the readings need (time-pos, duration, pause, seekable, volume, eof-reached) as
// their change events arrive. State changes are reported from that thread.
class MpvMediaPlayer final : public MediaEnginePlayer {
 public:
  explicit MpvMediaPlayer(std::shared_ptr<MpvEngineContext> context);
  // Detaches the video output, then leaves the core to shut down on its own thread.
  ~MpvMediaPlayer() override;
  MpvMediaPlayer(const MpvMediaPlayer&) = delete;
  MpvMediaPlayer& operator=(const MpvMediaPlayer&) = delete;

  static const std::vector<double>& equalizerBandFrequencies();

  void setMedia(std::optional<Url> url) override;
  bool hasMedia() const override { return media_.has_value(); }
  void play() override;
  void pause() override;
  void stop() override;
  bool isPlaying() const override { return state() == MediaEngineState::playing; }
  MediaEngineState state() const override;
  bool isSeekable() const override;
  std::int64_t time() const override;
  void setTime(std::int64_t milliseconds) override;
  std::int64_t length() const override;
  std::optional<int> volume() const override;
  void setVolume(int volume) override;
  void setRate(double rate) override;
  std::vector<MediaTrack> tracks() const override;
  std::vector<MediaChapter> chapters() const override;
  void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) override;
  void addSubtitleFile(const std::string& path) override;
  void saveFrame(const std::string& path, std::function<void(bool saved)> done) override;
  void setEqualizer(std::optional<std::vector<double>> amplifications) override;
  void setStateObserver(StateObserver observer) override;

  // For the video output: the core to render, null when libmpv could not create one.
  mpv_handle* handle() const;
  // Scales the picture about its centre by 2 to this power (libmpv's "video-zoom").
  void setVideoZoom(double log2Scale);

 private:
  class Core;

  std::shared_ptr<MpvEngineContext> context_;
  std::shared_ptr<Core> core_;
  std::optional<Url> media_;
  std::thread thread_;
  std::shared_ptr<std::atomic<bool>> threadDone_;
};

}  // namespace orvel
