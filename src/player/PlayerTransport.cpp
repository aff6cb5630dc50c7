// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerTransport.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "player/PlayerPageScripts.h"
#include "player/PlayerSession.h"

namespace orvel {
namespace {

constexpr std::string_view kPageVideo = "var v=document.querySelector('video'); ";

}  // namespace

void PlayerTransport::togglePlayPause() {
  if (session_.isFailedSourceCurrent()) {
    session_.retryFailedSource();
  } else if (session_.isNativeMediaActive()) {
    session_.deps_.native.togglePlayPause();
  } else if (session_.isYouTubeActive_) {
    session_.loader_.evaluatePlayer(session_.playerState_ == 1 ? "window.ytPause();"
                                    : session_.playerState_ == 0
                                        ? "window.ytSeek(0); window.ytPlay();"
                                        : "window.ytPlay();");
  } else {
    // A video standing at its end (ended, or left there by a seek) plays again from the start.
    session_.loader_.evaluatePlayer(
        std::string(kPageVideo) +
        "if(v) { if (v.paused) { if (v.ended || (isFinite(v.duration) && "
        "v.currentTime >= v.duration - 0.25)) { v.currentTime = 0; } v.play(); } "
        "else { v.pause(); } "
        "window.nativePostPlaybackProgress && window.nativePostPlaybackProgress(); }");
  }
}

void PlayerTransport::seek(double seconds) {
  if (!std::isfinite(seconds)) {
    return;
  }
  // Shown at once; reports the player made before it got there do not take it back.
  const double from = session_.playerCurrentTime_;
  session_.playerCurrentTime_ = std::max(seconds, 0.0);
  lastSeek_ =
      LastSeek{from, session_.playerCurrentTime_, session_.deps_.queue.now() + kSeekSettleTime};
  if (session_.isNativeMediaActive()) {
    session_.deps_.native.seek(seconds);
  } else if (session_.isYouTubeActive_) {
    session_.loader_.evaluatePlayer("window.ytSeek(" + PlayerPageScripts::jsNumber(seconds) + ");");
  } else {
    session_.loader_.evaluatePlayer(std::string(kPageVideo) + "if(v) v.currentTime=" +
                                    PlayerPageScripts::jsNumber(seconds) + ";");
  }
}

bool PlayerTransport::isBeforeLastSeek(double time) {
  if (!lastSeek_) {
    return false;
  }
  if (session_.deps_.queue.now() > lastSeek_->until || std::abs(time - lastSeek_->target) <= 1.5) {
    lastSeek_.reset();
    return false;
  }
  // Only a report from about where playback was is stale; anything else is news.
  return std::abs(time - lastSeek_->from) <= 3;
}

void PlayerTransport::setVolume(double volume) {
  if (!std::isfinite(volume)) {
    return;
  }
  session_.playerVolume_ = std::clamp(volume, 0.0, 100.0);
  if (session_.isNativeMediaActive()) {
    session_.deps_.native.setVolume(session_.playerVolume_);
  } else if (session_.equalizerTakesVolume()) {
    session_.equalizer_->setVolume(session_.playerVolume_ / 100);
    session_.loader_.evaluatePlayer(session_.isYouTubeActive_
                                        ? "window.ytSetVolume(100);"
                                        : std::string(kPageVideo) + "if(v) v.volume=1;");
  } else if (session_.isYouTubeActive_) {
    session_.loader_.evaluatePlayer(
        "window.ytSetVolume(" + std::to_string(static_cast<int>(session_.playerVolume_)) + ");");
  } else {
    session_.loader_.evaluatePlayer(
        std::string(kPageVideo) +
        "if(v) v.volume=" + PlayerPageScripts::jsNumber(session_.playerVolume_ / 100) + ";");
  }
  session_.changed();
}

void PlayerTransport::setVideoZoom(double zoom) {
  if (!std::isfinite(zoom)) {
    return;
  }
  session_.videoZoom_ = zoom;
  session_.deps_.native.setZoom(zoom);
  session_.loader_.evaluatePlayer("window.setNativeVideoZoom && window.setNativeVideoZoom(" +
                                  PlayerPageScripts::jsNumber(zoom) + ");");
  session_.changed();
}

bool PlayerTransport::handlePlaybackKey(std::uint16_t keyCode) {
  constexpr std::uint16_t kSpace = 49, kLeft = 123, kRight = 124;
  if (!session_.currentVideoID_ || session_.showingPlaylist_) {
    return false;
  }
  if (keyCode == kSpace) {
    togglePlayPause();
    return true;
  }
  if (keyCode != kLeft && keyCode != kRight) {
    return false;
  }
  const double delta = keyCode == kRight ? 5.0 : -5.0;
  if (session_.isNativeMediaActive()) {
    // With the length still unknown only the start bounds the step; clamping to a length of 0
    // would jump back to the beginning.
    double target = std::max(std::max(session_.playerCurrentTime_, 0.0) + delta, 0.0);
    if (session_.playerDuration_ > 0) {
      target = std::min(target, session_.playerDuration_);
    }
    session_.playerCurrentTime_ = target;
    seek(session_.playerCurrentTime_);
    session_.changed();
  } else if (session_.isYouTubeActive_) {
    session_.loader_.evaluatePlayer("window.ytSeekRelative(" + PlayerPageScripts::jsNumber(delta) +
                                    ");");
  } else {
    session_.loader_.evaluatePlayer(
        std::string(kPageVideo) +
        "if(v) { v.currentTime=Math.max(0, Math.min(Number.isFinite(v.duration) ? v.duration : "
        "Infinity, v.currentTime +" +
        PlayerPageScripts::jsNumber(delta) +
        ")); window.nativePostPlaybackProgress && window.nativePostPlaybackProgress(); }");
  }
  return true;
}

}  // namespace orvel
