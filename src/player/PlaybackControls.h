// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/ObserverList.h"
#include "playlist/PlaylistRepeat.h"

namespace orvel {

// What the desktop's media controls may read of playback and ask of it, whatever engine plays.
// The session offers it; the media keys' service (MPRIS) knows nothing else of the session.
class PlaybackControls {
 public:
  virtual ~PlaybackControls() = default;

  virtual const std::optional<std::string>& currentVideoID() const = 0;
  virtual const std::optional<std::string>& currentSourceURL() const = 0;
  virtual const std::string& currentVideoTitle() const = 0;
  // -1 nothing, 0 ended, 1 playing, 2 paused, 3 buffering.
  virtual int playerState() const = 0;
  virtual double playerCurrentTime() const = 0;
  virtual double playerDuration() const = 0;
  virtual double playerVolume() const = 0;
  virtual bool hasNext() const = 0;
  virtual bool hasPrevious() const = 0;

  virtual void togglePlayPause() = 0;
  // Pauses whatever plays, also while it is still opening or buffering.
  virtual void pause() = 0;
  // How fast playback runs, 1 the media's own speed.
  virtual double playbackRate() const = 0;
  virtual void setPlaybackRate(double rate) = 0;
  virtual void seek(double seconds) = 0;
  virtual void setVolume(double volume) = 0;
  virtual void next() = 0;
  virtual void previous() = 0;
  virtual void loadStreamingURL(const std::string& text, bool rememberAsLast) = 0;
  // How the playlist goes on at the end of an item, and its one-time shuffle of what is left.
  virtual PlaylistRepeat repeatMode() const = 0;
  virtual void setRepeatMode(PlaylistRepeat repeat) = 0;
  virtual void shuffleRemaining() = 0;

  // Told after every change of what the controls read.
  [[nodiscard]] virtual ObserverToken observeChanges(std::function<void()> observer) = 0;
};

}  // namespace orvel
