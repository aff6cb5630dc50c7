// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerTransport.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "player/PlayerPageScripts.h"

namespace orvel {
namespace {

constexpr std::string_view kPageVideo = "var v=document.querySelector('video'); ";

}  // namespace

void PlayerTransport::togglePlayPause() {
  const Engine engine = host_.engine();
  if (host_.failedSourceIsCurrent()) {
    host_.retryFailedSource();
  } else if (engine == Engine::native) {
    host_.native.togglePlayPause();
  } else if (engine == Engine::youTube) {
    const int state = host_.playerState();
    host_.evaluatePlayer(state == 1   ? "window.ytPause();"
                         : state == 0 ? "window.ytSeek(0); window.ytPlay();"
                                      : "window.ytPlay();");
  } else {
    // A video standing at its end (ended, or left there by a seek) plays again from the start.
    host_.evaluatePlayer(
        std::string(kPageVideo) +
        "if(v) { if (v.paused) { if (v.ended || (isFinite(v.duration) && "
        "v.currentTime >= v.duration - 0.25)) { v.currentTime = 0; } v.play(); } "
        "else { v.pause(); } "
        "window.nativePostPlaybackProgress && window.nativePostPlaybackProgress(); }");
  }
}

void PlayerTransport::pause() {
  if (host_.failedSourceIsCurrent()) {
    return;
  }
  switch (host_.engine()) {
    case Engine::native:
      // The native player toggles; it only plays while it reports playing.
      if (host_.playerState() == 1) {
        host_.native.togglePlayPause();
      }
      break;
    case Engine::youTube:
      host_.evaluatePlayer("window.ytPause();");
      break;
    case Engine::pageVideo:
      host_.evaluatePlayer(std::string(kPageVideo) +
                           "if(v && !v.paused) { v.pause(); "
                           "window.nativePostPlaybackProgress && "
                           "window.nativePostPlaybackProgress(); }");
      break;
  }
}

void PlayerTransport::seek(double seconds) {
  if (!std::isfinite(seconds)) {
    return;
  }
  // Shown at once; reports the player made before it got there do not take it back.
  const double from = host_.playerCurrentTime();
  const double target = std::max(seconds, 0.0);
  host_.showTime(target);
  lastSeek_ = LastSeek{from, target, host_.queue.now() + kSeekSettleTime};
  const Engine engine = host_.engine();
  if (engine == Engine::native) {
    host_.native.seek(seconds);
  } else if (engine == Engine::youTube) {
    host_.evaluatePlayer("window.ytSeek(" + PlayerPageScripts::jsNumber(seconds) + ");");
  } else {
    host_.evaluatePlayer(std::string(kPageVideo) +
                         "if(v) v.currentTime=" + PlayerPageScripts::jsNumber(seconds) + ";");
  }
}

bool PlayerTransport::isBeforeLastSeek(double time) {
  if (!lastSeek_) {
    return false;
  }
  if (host_.queue.now() > lastSeek_->until || std::abs(time - lastSeek_->target) <= 1.5) {
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
  const double level = std::clamp(volume, 0.0, 100.0);
  host_.showVolume(level);
  const Engine engine = host_.engine();
  const bool youTube = engine == Engine::youTube;
  if (engine == Engine::native) {
    host_.native.setVolume(level);
  } else if (host_.routeTakesVolume()) {
    host_.setRouteVolume(level / 100);
    host_.evaluatePlayer(youTube ? "window.ytSetVolume(100);"
                                 : std::string(kPageVideo) + "if(v) v.volume=1;");
  } else if (youTube) {
    host_.evaluatePlayer("window.ytSetVolume(" + std::to_string(static_cast<int>(level)) + ");");
  } else {
    host_.evaluatePlayer(std::string(kPageVideo) +
                         "if(v) v.volume=" + PlayerPageScripts::jsNumber(level / 100) + ";");
  }
  host_.changed();
}

void PlayerTransport::setVideoZoom(double zoom) {
  if (!std::isfinite(zoom)) {
    return;
  }
  host_.showZoom(zoom);
  host_.native.setZoom(zoom);
  host_.evaluatePlayer("window.setNativeVideoZoom && window.setNativeVideoZoom(" +
                       PlayerPageScripts::jsNumber(zoom) + ");");
  host_.changed();
}

void PlayerTransport::applySpeed(double rate) {
  const std::string number = PlayerPageScripts::jsNumber(rate);
  // The native player keeps it for the MKV that plays next, whatever shows now.
  host_.native.setSpeed(rate);
  switch (host_.engine()) {
    case Engine::native:
      break;
    case Engine::youTube:
      host_.evaluatePlayer("window.ytSetRate && window.ytSetRate(" + number + ");");
      break;
    case Engine::pageVideo:
      // The page's progress script applies it to its video, now and to one that comes later.
      host_.evaluatePlayer("window.nativePlaybackRate = " + number +
                           "; window.nativePostPlaybackProgress && "
                           "window.nativePostPlaybackProgress();");
      break;
  }
}

bool PlayerTransport::handlePlaybackKey(std::uint16_t keyCode) {
  constexpr std::uint16_t kSpace = 49, kLeft = 123, kRight = 124;
  if (!host_.showsMedia()) {
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
  const Engine engine = host_.engine();
  if (engine == Engine::native) {
    // With the length still unknown only the start bounds the step; clamping to a length of 0
    // would jump back to the beginning.
    double target = std::max(std::max(host_.playerCurrentTime(), 0.0) + delta, 0.0);
    if (host_.playerDuration() > 0) {
      target = std::min(target, host_.playerDuration());
    }
    // Shown before the seek, which then counts from there.
    host_.showTime(target);
    seek(target);
    host_.changed();
  } else if (engine == Engine::youTube) {
    host_.evaluatePlayer("window.ytSeekRelative(" + PlayerPageScripts::jsNumber(delta) + ");");
  } else {
    host_.evaluatePlayer(
        std::string(kPageVideo) +
        "if(v) { v.currentTime=Math.max(0, Math.min(Number.isFinite(v.duration) ? v.duration : "
        "Infinity, v.currentTime +" +
        PlayerPageScripts::jsNumber(delta) +
        ")); window.nativePostPlaybackProgress && window.nativePostPlaybackProgress(); }");
  }
  return true;
}

}  // namespace orvel
