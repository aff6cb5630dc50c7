// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

#include "native/MKVPlayback.h"
#include "native/NativePlayer.h"

namespace orvel {

// The MKV playback as the player session's native player.
class MKVNativePlayer final : public NativePlayer {
 public:
  MKVNativePlayer(MainQueue& queue, MediaEngine& engine);

  void play(const StreamingMedia& media, double startTime, double volume) override {
    playback_.play(media, startTime, volume);
  }
  void stop() override { playback_.stop(); }
  void togglePlayPause() override { playback_.togglePlayPause(); }
  void seek(double seconds) override { playback_.seek(seconds); }
  void setVolume(double volume) override { playback_.setVolume(volume); }
  void setZoom(double zoom) override;
  void setSpeed(double rate) override { playback_.setSpeed(rate); }
  std::vector<MediaTrack> tracks() const override { return playback_.tracks(); }
  std::vector<MediaChapter> chapters() const override { return playback_.chapters(); }
  void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) override {
    playback_.selectTrack(kind, id);
  }
  void addSubtitleFile(const std::string& path) override { playback_.addSubtitleFile(path); }
  void saveFrame(const std::string& path, std::function<void(bool)> done) override {
    playback_.saveFrame(path, std::move(done));
  }

  [[nodiscard]] ObserverToken observeUpdates(
      std::function<void(const PlaybackSnapshot&)> observer) override {
    return playback_.observeUpdates(std::move(observer));
  }
  const std::optional<PlaybackSnapshot>& snapshot() const override { return playback_.snapshot(); }
  const std::string& sessionID() const override { return playback_.sessionID(); }

  MKVPlayback& playback() { return playback_; }

 private:
  MKVPlayback playback_;
};

}  // namespace orvel
