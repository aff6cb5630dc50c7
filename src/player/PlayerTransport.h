// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/MainQueue.h"
#include "native/NativePlayer.h"

namespace orvel {

// Play/pause, seeking, volume, zoom and the playback keys, sent to whichever engine shows the
// current media: the native player for MKV, the YouTube player page, or the web view's video.
// Owns only where the last seek went; what playback shows (its time, volume and zoom) is the
// host's, which it reads and sets.
class PlayerTransport {
 public:
  // Which engine shows the current media.
  enum class Engine {
    native,
    youTube,
    // The web view's own video element (MP4 and WebM).
    pageVideo,
  };

  struct Host {
    MainQueue& queue;
    NativePlayer& native;
    std::function<Engine()> engine;
    // The current source failed: Play retries it.
    std::function<bool()> failedSourceIsCurrent;
    // Media is loaded and the player window shows it (not the playlist).
    std::function<bool()> showsMedia;
    std::function<void(const std::string& script)> evaluatePlayer;
    std::function<void()> retryFailedSource;
    // -1 nothing, 0 ended, 1 playing, 2 paused, 3 buffering.
    std::function<int()> playerState;
    std::function<double()> playerCurrentTime;
    std::function<double()> playerDuration;
    // What playback shows, set at once, before the engine has answered.
    std::function<void(double seconds)> showTime;
    std::function<void(double volume)> showVolume;
    std::function<void(double zoom)> showZoom;
    // The equalizer's web route, when it takes the volume (the page then plays at full volume).
    std::function<void(double gain)> setRouteVolume;
    std::function<bool()> routeTakesVolume;
    std::function<void()> changed;
  };

  explicit PlayerTransport(Host host) : host_(std::move(host)) {}

  // Retries instead while the failed source is the current one.
  void togglePlayPause();
  // Pauses what plays, also a page video that is still buffering; a failed source stays as it is.
  void pause();
  void seek(double seconds);
  // 0 to 100.
  void setVolume(double volume);
  void setVideoZoom(double zoom);
  // Plays what shows at the rate, with the pitch kept: the native player, YouTube's player (at the
  // rate it offers nearest) or the page's video.
  void applySpeed(double rate);
  // Space, Left and Right; true when handled.
  bool handlePlaybackKey(std::uint16_t keyCode);
  // Until the player reports a time near the place last sought (or a moment has passed), its
  // reports of the old place are not shown, so a second arrow press steps on from the first.
  bool isBeforeLastSeek(double time);

 private:
  static constexpr double kSeekSettleTime = 2.0;
  struct LastSeek {
    double from;
    double target;
    double until;
  };

  Host host_;
  std::optional<LastSeek> lastSeek_;
};

}  // namespace orvel
