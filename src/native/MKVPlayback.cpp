// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/MKVPlayback.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Uuid.h"
#include "media/ResumePoint.h"

namespace orvel {
namespace {

constexpr double kMaxSeekMilliseconds = 2147483647.0;
constexpr double kMaxEqualizerGain = 12.0;

std::string randomSessionID() {
  return Uuid::random().uuidString();
}

}  // namespace

MKVPlayback::MKVPlayback(MainQueue& queue, MediaEngine& engine)
    : queue_(queue),
      engine_(engine),
      sessionID_(randomSessionID()),
      self_(std::make_shared<MKVPlayback*>(this)) {}

MKVPlayback::~MKVPlayback() {
  timer_.cancel();
  detachPlayer();
}

void MKVPlayback::detachPlayer() {
  if (player_) {
    player_->setStateObserver(nullptr);
    player_->stop();
  }
}

void MKVPlayback::play(const StreamingMedia& media, double startTime, double volume) {
  // `stop` forgets the current media, which may be what `media` refers to.
  StreamingMedia starting = media;
  stop();

  player_ = engine_.makePlayer();
  const std::uint64_t generation = ++playerGeneration_;
  std::weak_ptr<MKVPlayback*> weak = self_;
  MainQueue& queue = queue_;
  player_->setStateObserver([weak, &queue, generation](MediaEngineState state) {
    queue.post([weak, generation, state] {
      if (auto self = weak.lock()) {
        (*self)->mediaPlayerStateChanged(generation, state);
      }
    });
  });

  mediaID_ = starting.mediaID;
  pendingStart_ = std::isfinite(startTime) && startTime >= 0 ? startTime : 0.0;
  finished_ = false;
  player_->setMedia(starting.playbackURL);
  currentMedia_ = std::move(starting);

  applyEqualizer();
  setVolume(volume);
  if (speed_ != 1.0) {
    player_->setRate(speed_);
  }
  player_->play();
  scheduleTick();
}

void MKVPlayback::stop() {
  sessionID_ = randomSessionID();
  timer_.cancel();
  mediaID_.reset();
  currentMedia_.reset();
  if (player_) {
    detachPlayer();
    player_->setMedia(std::nullopt);
  }
  snapshot_.reset();
  pendingStart_.reset();
}

void MKVPlayback::togglePlayPause() {
  if (finished_ && currentMedia_) {
    std::optional<int> volume = player_ ? player_->volume() : std::nullopt;
    StreamingMedia media = *currentMedia_;
    play(media, 0, volume ? *volume : 100);
    return;
  }
  if (!player_) {
    return;
  }
  if (player_->isPlaying()) {
    player_->pause();
  } else {
    player_->play();
  }
}

void MKVPlayback::seek(double seconds) {
  if (!std::isfinite(seconds) || !player_ || !player_->isSeekable()) {
    return;
  }
  const double milliseconds = std::clamp(seconds * 1000.0, 0.0, kMaxSeekMilliseconds);
  player_->setTime(static_cast<std::int64_t>(milliseconds));
}

void MKVPlayback::setSpeed(double rate) {
  if (!std::isfinite(rate) || rate <= 0) {
    return;
  }
  speed_ = rate;
  if (player_) {
    player_->setRate(rate);
  }
}

std::vector<MediaTrack> MKVPlayback::tracks() const {
  return player_ ? player_->tracks() : std::vector<MediaTrack>();
}

std::vector<MediaChapter> MKVPlayback::chapters() const {
  return player_ ? player_->chapters() : std::vector<MediaChapter>();
}

void MKVPlayback::selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) {
  if (player_) {
    player_->selectTrack(kind, id);
  }
}

void MKVPlayback::addSubtitleFile(const std::string& path) {
  if (player_) {
    player_->addSubtitleFile(path);
  }
}

void MKVPlayback::saveFrame(const std::string& path, std::function<void(bool saved)> done) {
  if (!player_) {
    queue_.post([done] { done(false); });
    return;
  }
  std::weak_ptr<MKVPlayback*> weak = self_;
  MainQueue& queue = queue_;
  player_->saveFrame(path, [weak, &queue, done](bool saved) {
    queue.post([weak, done, saved] {
      if (weak.lock()) {
        done(saved);
      }
    });
  });
}

void MKVPlayback::setVolume(double volume) {
  if (!std::isfinite(volume) || !player_ || !player_->volume()) {
    return;
  }
  player_->setVolume(static_cast<int>(std::clamp(volume, 0.0, 100.0)));
}

void MKVPlayback::applyEqualizer() {
  if (!player_) {
    return;
  }
  if (equalizerEnabled_ && equalizerGains_.size() == kEqualizerFrequencies.size()) {
    player_->setEqualizer(
        engineAmplifications(equalizerGains_, engine_.equalizerBandFrequencies()));
  } else {
    player_->setEqualizer(std::nullopt);
  }
}

std::vector<double> MKVPlayback::engineAmplifications(
    const std::vector<double>& gains, const std::vector<double>& engineFrequencies) {
  std::vector<double> amplifications(engineFrequencies.size(), 0.0);
  if (engineFrequencies.empty()) {
    return amplifications;
  }
  for (std::size_t band = 0; band < kEqualizerFrequencies.size() && band < gains.size(); ++band) {
    const double target = kEqualizerFrequencies[band];
    std::size_t nearest = 0;
    for (std::size_t candidate = 1; candidate < engineFrequencies.size(); ++candidate) {
      if (std::abs(engineFrequencies[candidate] - target) <
          std::abs(engineFrequencies[nearest] - target)) {
        nearest = candidate;
      }
    }
    // A gain that is not a number would silence or break the engine's filter; flat is the
    // harmless reading of it.
    const double gain = std::isnan(gains[band]) ? 0.0 : gains[band];
    amplifications[nearest] = std::clamp(gain, -kMaxEqualizerGain, kMaxEqualizerGain);
  }
  return amplifications;
}

int MKVPlayback::stateCode(MediaEngineState state, bool isPlaying) {
  switch (state) {
    case MediaEngineState::ended:
      return 0;
    case MediaEngineState::error:
      return -1;
    case MediaEngineState::playing:
      return 1;
    case MediaEngineState::paused:
      return 2;
    case MediaEngineState::stopped:
    case MediaEngineState::opening:
    case MediaEngineState::buffering:
      break;
  }
  return isPlaying ? 1 : 3;
}

void MKVPlayback::scheduleTick() {
  std::weak_ptr<MKVPlayback*> weak = self_;
  timer_ = queue_.postDelayed(kPollInterval, [weak] {
    if (auto self = weak.lock()) {
      MKVPlayback& playback = **self;
      // Rescheduled before polling: the poll cancels the timer when playback finishes, and an
      // observer of the snapshot may start something else with a timer of its own.
      playback.scheduleTick();
      playback.poll(std::nullopt);
    }
  });
}

void MKVPlayback::mediaPlayerStateChanged(std::uint64_t playerGeneration, MediaEngineState state) {
  if (playerGeneration == playerGeneration_) {
    poll(state);
  }
}

void MKVPlayback::poll(std::optional<MediaEngineState> given) {
  if (!mediaID_ || finished_ || !player_) {
    return;
  }
  const MediaEngineState state = given ? *given : player_->state();
  int code = stateCode(state, player_->isPlaying());

  if (pendingStart_ && player_->isSeekable() && code == 1) {
    // The length the engine read decides whether the video was watched to its end, whatever
    // the store knew of it.
    const double start = ResumePoint::startFor(*std::exchange(pendingStart_, std::nullopt),
                                               static_cast<double>(player_->length()) / 1000.0);
    if (start > 0) {
      seek(start);
    }
  }

  const double time = std::max(0.0, static_cast<double>(player_->time()) / 1000.0);
  const double duration =
      player_->hasMedia() ? std::max(0.0, static_cast<double>(player_->length()) / 1000.0) : 0.0;
  if (code == 0 && time == 0 && duration == 0) {
    code = -1;
  }
  if (code == 0 || code == -1) {
    finished_ = true;
    timer_.cancel();
  }

  snapshot_ = Snapshot{sessionID_, *mediaID_, time, duration, code};
  // A copy: an observer may stop or restart playback, which replaces `snapshot_`.
  const Snapshot published = *snapshot_;
  updates_.notify(published);
}

}  // namespace orvel
