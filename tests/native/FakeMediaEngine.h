// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "native/MediaEngine.h"

namespace orvel {

// An engine player whose readings the test sets and whose requests it reads back.
class FakeMediaEnginePlayer final : public MediaEnginePlayer {
 public:
  void setMedia(std::optional<Url> url) override { media = std::move(url); }
  bool hasMedia() const override { return media.has_value(); }
  void play() override { ++playCount; }
  void pause() override { ++pauseCount; }
  void stop() override { ++stopCount; }
  bool isPlaying() const override { return playing; }
  MediaEngineState state() const override { return currentState; }
  bool isSeekable() const override { return seekable; }
  std::int64_t time() const override { return milliseconds; }
  void setTime(std::int64_t value) override { seeks.push_back(value); }
  std::int64_t length() const override { return lengthMilliseconds; }
  std::optional<int> volume() const override { return currentVolume; }
  void setVolume(int value) override {
    currentVolume = value;
    volumes.push_back(value);
  }
  void setRate(double value) override { rates.push_back(value); }
  std::vector<MediaTrack> tracks() const override { return mediaTracks; }
  std::vector<MediaChapter> chapters() const override { return mediaChapters; }
  void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) override {
    selections.emplace_back(kind, id);
  }
  void addSubtitleFile(const std::string& path) override { subtitleFiles.push_back(path); }
  void saveFrame(const std::string& path, std::function<void(bool)> done) override {
    frames.push_back(path);
    done(frameSaved);
  }
  void setEqualizer(std::optional<std::vector<double>> value) override {
    equalizer = std::move(value);
    ++equalizerChanges;
  }
  void setStateObserver(StateObserver value) override {
    std::lock_guard lock(mutex_);
    observer_ = std::move(value);
  }

  // As the engine would report a state change, from whatever thread calls it.
  void report(MediaEngineState value) {
    std::lock_guard lock(mutex_);
    if (observer_) {
      observer_(value);
    }
  }
  bool hasObserver() {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(observer_);
  }

  std::optional<Url> media;
  MediaEngineState currentState = MediaEngineState::stopped;
  bool playing = false;
  bool seekable = false;
  std::int64_t milliseconds = 0;
  std::int64_t lengthMilliseconds = 0;
  std::optional<int> currentVolume = 100;
  std::optional<std::vector<double>> equalizer;
  int equalizerChanges = 0;
  std::vector<std::int64_t> seeks;
  std::vector<int> volumes;
  std::vector<double> rates;
  std::vector<MediaTrack> mediaTracks;
  std::vector<MediaChapter> mediaChapters;
  std::vector<std::pair<MediaTrack::Kind, std::optional<std::int64_t>>> selections;
  std::vector<std::string> subtitleFiles;
  std::vector<std::string> frames;
  bool frameSaved = true;
  int playCount = 0;
  int pauseCount = 0;
  int stopCount = 0;

 private:
  std::mutex mutex_;
  StateObserver observer_;
};

class FakeMediaEngine final : public MediaEngine {
 public:
  std::shared_ptr<MediaEnginePlayer> makePlayer() override {
    auto player = std::make_shared<FakeMediaEnginePlayer>();
    if (!nextPlayerHasAudio) {
      player->currentVolume.reset();
    }
    players.push_back(player);
    return player;
  }
  std::vector<double> equalizerBandFrequencies() const override { return bandFrequencies; }

  FakeMediaEnginePlayer& latest() { return *players.back(); }

  std::vector<double> bandFrequencies{63, 250, 500, 1500, 3000, 5000, 8000};
  bool nextPlayerHasAudio = true;
  std::vector<std::shared_ptr<FakeMediaEnginePlayer>> players;
};

}  // namespace orvel
