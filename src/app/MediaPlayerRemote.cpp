// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/MediaPlayerRemote.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Files.h"
#include "core/Url.h"

namespace orvel {
namespace {

constexpr double kMicroseconds = 1e6;

// The session's states: 1 playing, 3 opening or buffering (about to play), 2 paused; the rest
// (not started, cued, ended, failed) show nothing moving.
constexpr int kPlaying = 1;
constexpr int kPaused = 2;
constexpr int kBuffering = 3;

std::int64_t microseconds(double seconds) {
  return std::isfinite(seconds) ? std::llround(std::max(seconds, 0.0) * kMicroseconds) : 0;
}

}  // namespace

MediaPlayerRemote::MediaPlayerRemote(MainQueue& queue, PlaybackControls& session,
                                     const StreamingProviderRegistry& registry)
    : queue_(queue), session_(session), registry_(registry) {
  announced_ = properties();
  reading_ = read();
  lastState_ = session_.playerState();
  sessionChanges_ = session_.observeChanges([this] { scheduleUpdate(); });
}

std::string MediaPlayerRemote::trackID(const std::string& mediaID) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // "_" alone is no escape, so it stands for the empty ID.
  std::string path = std::string(kTrackPrefix) + (mediaID.empty() ? "_" : "");
  for (const char character : mediaID) {
    const auto byte = static_cast<unsigned char>(character);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9')) {
      path += character;
    } else {
      path += '_';
      path += kHex[byte >> 4];
      path += kHex[byte & 0xF];
    }
  }
  return path;
}

MediaPlayerRemote::Properties MediaPlayerRemote::properties() const {
  Properties result;
  result.volume = std::clamp(session_.playerVolume() / 100, 0.0, 1.0);
  result.canGoNext = session_.hasNext();
  result.canGoPrevious = session_.hasPrevious();
  result.loop = session_.repeatMode();
  result.rate = session_.playbackRate();
  const std::optional<std::string>& mediaID = session_.currentVideoID();
  if (!mediaID) {
    return result;
  }
  const int state = session_.playerState();
  if (!stopped_ && (state == kPlaying || state == kBuffering)) {
    result.status = Status::playing;
  } else if (!stopped_ && state == kPaused) {
    result.status = Status::paused;
  }
  const double duration = session_.playerDuration();
  Track track;
  track.id = trackID(*mediaID);
  if (std::isfinite(duration) && duration > 0) {
    track.lengthMicroseconds = microseconds(duration);
  }
  track.title = session_.currentVideoTitle();
  track.url = session_.currentSourceURL();
  if (const StreamingProvider* provider = registry_.provider(*mediaID)) {
    if (auto art = provider->thumbnailURL(*mediaID)) {
      track.artURL = art->absoluteString();
    }
  }
  result.canSeek = track.lengthMicroseconds.has_value();
  result.track = std::move(track);
  result.canPlay = true;
  result.canPause = true;
  return result;
}

std::int64_t MediaPlayerRemote::positionMicroseconds() const {
  return session_.currentVideoID() ? microseconds(session_.playerCurrentTime()) : 0;
}

void MediaPlayerRemote::play() {
  if (!session_.currentVideoID() || properties().status == Status::playing) {
    return;
  }
  stopped_ = false;
  session_.togglePlayPause();
  scheduleUpdate();
}

void MediaPlayerRemote::pause() {
  // What reads as playing pauses, also a video still buffering.
  const int state = session_.playerState();
  if (!stopped_ && (state == kPlaying || state == kBuffering)) {
    session_.pause();
  }
}

void MediaPlayerRemote::playPause() {
  if (properties().status == Status::playing) {
    pause();
  } else {
    play();
  }
}

void MediaPlayerRemote::stop() {
  if (!session_.currentVideoID() || stopped_) {
    return;
  }
  pause();
  seekTo(0);
  stopped_ = true;
  // Reports of playing that were on their way before the pause do not end the stop.
  lastState_ = session_.playerState();
  scheduleUpdate();
}

void MediaPlayerRemote::next() {
  if (session_.hasNext()) {
    session_.next();
  }
}

void MediaPlayerRemote::previous() {
  if (session_.hasPrevious()) {
    session_.previous();
  }
}

void MediaPlayerRemote::seek(std::int64_t offsetMicroseconds) {
  const Properties now = properties();
  if (!now.canSeek) {
    return;
  }
  const double target = session_.playerCurrentTime() + offsetMicroseconds / kMicroseconds;
  if (target > session_.playerDuration()) {
    if (session_.hasNext()) {
      next();
    } else {
      stop();
    }
    return;
  }
  seekTo(std::max(target, 0.0));
}

void MediaPlayerRemote::setPosition(const std::string& trackID, std::int64_t positionMicroseconds) {
  const Properties now = properties();
  if (!now.canSeek || !now.track || now.track->id != trackID || positionMicroseconds < 0 ||
      positionMicroseconds > *now.track->lengthMicroseconds) {
    return;
  }
  seekTo(positionMicroseconds / kMicroseconds);
}

void MediaPlayerRemote::seekTo(double seconds) {
  session_.seek(seconds);
  // The session shows the new place at once; later reports from there are playback moving on.
  reading_ = read();
  seeks_.notify(positionMicroseconds());
}

void MediaPlayerRemote::setVolume(double volume) {
  if (std::isfinite(volume)) {
    session_.setVolume(std::clamp(volume, 0.0, 1.0) * 100);
  }
}

void MediaPlayerRemote::setRate(double rate) {
  if (rate == 0) {
    pause();
  } else if (std::isfinite(rate) && rate > 0) {
    session_.setPlaybackRate(std::clamp(rate, kSlowestRate, kFastestRate));
    scheduleUpdate();
  }
}

void MediaPlayerRemote::setLoop(PlaylistRepeat loop) {
  session_.setRepeatMode(loop);
  scheduleUpdate();
}

void MediaPlayerRemote::setShuffle(bool shuffle) {
  if (shuffle) {
    session_.shuffleRemaining();
  }
}

std::optional<MediaPlayerRemote::OpenRefusal> MediaPlayerRemote::openURI(const std::string& uri) {
  const auto url = Url::parse(uri);
  const auto media = url ? registry_.resolve(uri) : std::nullopt;
  if (!media || (url->scheme() != "file" && url->scheme() != "http" && url->scheme() != "https")) {
    return OpenRefusal::unsupported;
  }
  if (url->isFileURL()) {
    if (!isReadableRegularFile(url->path())) {
      return OpenRefusal::missingFile;
    }
  }
  stopped_ = false;
  // The media already loaded and paused is not reopened (that keeps it where it is): it plays.
  if (session_.currentVideoID() == media->mediaID && session_.playerState() == kPaused) {
    session_.togglePlayPause();
    scheduleUpdate();
    return std::nullopt;
  }
  session_.loadStreamingURL(uri, true);
  return std::nullopt;
}

ObserverToken MediaPlayerRemote::observeChanges(
    std::function<void(const std::vector<Property>&)> observer) {
  return changes_.add(std::move(observer));
}

ObserverToken MediaPlayerRemote::observeSeeks(std::function<void(std::int64_t)> observer) {
  return seeks_.add(std::move(observer));
}

MediaPlayerRemote::Reading MediaPlayerRemote::read() const {
  Reading reading;
  reading.mediaID = session_.currentVideoID();
  reading.position = session_.playerCurrentTime();
  reading.started = session_.playerState() == kPlaying || session_.playerState() == kPaused;
  reading.advancing = session_.playerState() == kPlaying;
  reading.rate = session_.playbackRate();
  reading.at = queue_.now();
  return reading;
}

void MediaPlayerRemote::scheduleUpdate() {
  if (updatePending_) {
    return;
  }
  updatePending_ = true;
  queue_.post(lifetime_.guard([this] {
    updatePending_ = false;
    update();
  }));
}

void MediaPlayerRemote::update() {
  const int state = session_.playerState();
  if (stopped_ && ((state == kPlaying && lastState_ != kPlaying) ||
                   session_.currentVideoID() != reading_.mediaID)) {
    stopped_ = false;
  }
  lastState_ = state;

  const Reading previous = reading_;
  reading_ = read();
  if (previous.started && reading_.mediaID == previous.mediaID) {
    const double expected =
        previous.position +
        (previous.advancing ? (reading_.at - previous.at) * previous.rate : 0.0);
    if (std::abs(reading_.position - expected) > kJumpTolerance) {
      seeks_.notify(positionMicroseconds());
    }
  }

  const Properties current = properties();
  std::vector<Property> changed;
  auto compare = [&](Property property, const auto& before, const auto& after) {
    if (before != after) {
      changed.push_back(property);
    }
  };
  compare(Property::status, announced_.status, current.status);
  compare(Property::volume, announced_.volume, current.volume);
  compare(Property::track, announced_.track, current.track);
  compare(Property::canGoNext, announced_.canGoNext, current.canGoNext);
  compare(Property::canGoPrevious, announced_.canGoPrevious, current.canGoPrevious);
  compare(Property::canPlay, announced_.canPlay, current.canPlay);
  compare(Property::canPause, announced_.canPause, current.canPause);
  compare(Property::canSeek, announced_.canSeek, current.canSeek);
  compare(Property::loop, announced_.loop, current.loop);
  compare(Property::rate, announced_.rate, current.rate);
  announced_ = current;
  if (!changed.empty()) {
    changes_.notify(changed);
  }
}

}  // namespace orvel
