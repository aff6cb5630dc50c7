// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/ObserverList.h"
#include "native/NativePlayer.h"

namespace orvel {

// A native player that plays nothing; tests publish its snapshots.
class FakeNativePlayer final : public NativePlayer {
 public:
  void play(const StreamingMedia& media, double startTime, double volume) override {
    stop();
    plays.push_back({media.mediaID, startTime, volume});
  }
  void stop() override {
    ++stops;
    sessionID_ = "session-" + std::to_string(++sessions_);
    snapshot_.reset();
  }
  void togglePlayPause() override { ++toggles; }
  void seek(double seconds) override { seeks.push_back(seconds); }
  void setVolume(double volume) override { volumes.push_back(volume); }
  void setZoom(double value) override { zoom = value; }
  void setSpeed(double value) override { speed = value; }
  std::vector<MediaTrack> tracks() const override { return mediaTracks; }
  std::vector<MediaChapter> chapters() const override { return mediaChapters; }
  void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) override {
    selections.emplace_back(kind, id);
  }
  void addSubtitleFile(const std::string& path) override { subtitleFiles.push_back(path); }
  void saveFrame(const std::string& path, std::function<void(bool)> done) override {
    frames.push_back(path);
    frameDone = std::move(done);
  }
  ObserverToken observeUpdates(std::function<void(const PlaybackSnapshot&)> observer) override {
    return updates_.add(std::move(observer));
  }
  const std::optional<PlaybackSnapshot>& snapshot() const override { return snapshot_; }
  const std::string& sessionID() const override { return sessionID_; }

  // Publishes a snapshot of the current session.
  void publish(double time, double duration, int state) {
    publish(PlaybackSnapshot{sessionID_, plays.empty() ? "" : plays.back().mediaID, time, duration,
                             state});
  }
  void publish(const PlaybackSnapshot& snapshot) {
    snapshot_ = snapshot;
    updates_.notify(snapshot);
  }

  struct Play {
    std::string mediaID;
    double startTime;
    double volume;
  };
  std::vector<Play> plays;
  int stops = 0;
  int toggles = 0;
  std::vector<double> seeks;
  std::vector<double> volumes;
  double zoom = 1;
  double speed = 1;
  std::vector<MediaTrack> mediaTracks;
  std::vector<MediaChapter> mediaChapters;
  std::vector<std::pair<MediaTrack::Kind, std::optional<std::int64_t>>> selections;
  std::vector<std::string> subtitleFiles;
  std::vector<std::string> frames;
  // The answer of the last saveFrame, for the test to give.
  std::function<void(bool)> frameDone;

 private:
  int sessions_ = 0;
  std::string sessionID_ = "session-0";
  std::optional<PlaybackSnapshot> snapshot_;
  ObserverList<const PlaybackSnapshot&> updates_;
};

}  // namespace orvel
