// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>

namespace orvel {

class PlayerSession;

// Play/pause, seeking, volume, zoom and the playback keys, sent to whichever engine shows the
// current media: the native player for MKV, the YouTube player page, or the web view's video.
// Works on the session's state; its own is only where the last seek went.
class PlayerTransport {
 public:
  explicit PlayerTransport(PlayerSession& session) : session_(session) {}

  // Retries instead while the failed source is the current one.
  void togglePlayPause();
  void seek(double seconds);
  // 0 to 100.
  void setVolume(double volume);
  void setVideoZoom(double zoom);
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

  PlayerSession& session_;
  std::optional<LastSeek> lastSeek_;
};

}  // namespace orvel
