// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Cancellable.h"
#include "media/StreamingMedia.h"
#include "native/MediaEnginePlayer.h"

namespace orvel {

// One report of the native player: where it is, how long the media is, and its state (1 playing,
// 2 paused, 3 opening or buffering, 0 ended, -1 failed).
struct PlaybackSnapshot {
  std::string sessionID;
  std::string mediaID;
  double time = 0;
  double duration = 0;
  int state = 3;
  bool operator==(const PlaybackSnapshot&) const = default;
};

// The native player that shows what the web view cannot (MKV), as the session drives it.
class NativePlayer {
 public:
  virtual ~NativePlayer() = default;

  virtual void play(const StreamingMedia& media, double startTime, double volume) = 0;
  // Ends playback; snapshots still in flight carry the old session and are stale.
  virtual void stop() = 0;
  virtual void togglePlayPause() = 0;
  virtual void seek(double seconds) = 0;
  virtual void setVolume(double volume) = 0;
  virtual void setZoom(double zoom) = 0;
  // Playback speed for what plays now and what plays next; the pitch is kept.
  virtual void setSpeed(double rate) = 0;
  // The audio and subtitle tracks and the chapters of what plays (none before it is open).
  virtual std::vector<MediaTrack> tracks() const = 0;
  virtual std::vector<MediaChapter> chapters() const = 0;
  // None turns the kind off.
  virtual void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) = 0;
  // Adds a subtitle file to what plays and shows it.
  virtual void addSubtitleFile(const std::string& path) = 0;
  // Writes the picture that shows as a PNG at the video's size; `done` is told whether it was
  // written, on the main loop later.
  virtual void saveFrame(const std::string& path, std::function<void(bool saved)> done) = 0;

  [[nodiscard]] virtual ObserverToken observeUpdates(
      std::function<void(const PlaybackSnapshot&)> observer) = 0;
  virtual const std::optional<PlaybackSnapshot>& snapshot() const = 0;
  virtual const std::string& sessionID() const = 0;
};

}  // namespace orvel
