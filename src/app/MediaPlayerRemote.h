// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/ObserverList.h"
#include "media/StreamingProviderRegistry.h"
#include "player/PlaybackControls.h"
#include "player/PlaybackSpeed.h"

namespace orvel {

// The player as the desktop's media controls see it (MPRIS): what plays, whether it plays, where
// and how loud, and the commands those controls send. Reads the session through its public state
// and drives it through its public commands, whatever engine shows the media. Changes reach the
// observers once per main-loop turn, all together; a jump in the position is told apart.
class MediaPlayerRemote {
 public:
  static constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
  static constexpr const char* kTrackPrefix = "/com/example/OrvelPlayer/Track/";
  // Between two reports the position moves with the clock while playing; a report further off
  // than this is a seek. The toolbar's smallest step is 5 seconds.
  static constexpr double kJumpTolerance = 2.0;

  enum class Status { playing, paused, stopped };
  static constexpr double kSlowestRate = PlaybackSpeed::kSlowest;
  static constexpr double kFastestRate = PlaybackSpeed::kFastest;

  struct Track {
    // An object path of its own for every media ID.
    std::string id;
    std::optional<std::int64_t> lengthMicroseconds;
    std::string title;
    std::optional<std::string> url;
    std::optional<std::string> artURL;
    bool operator==(const Track&) const = default;
  };

  // The values of the properties that are announced when they change (the position is not).
  struct Properties {
    Status status = Status::stopped;
    // 0 to 1.
    double volume = 1;
    std::optional<Track> track;
    bool canGoNext = false;
    bool canGoPrevious = false;
    bool canPlay = false;
    bool canPause = false;
    bool canSeek = false;
    // The playlist's repeat mode: MPRIS's loop status None, Track and Playlist.
    PlaylistRepeat loop = PlaylistRepeat::off;
    double rate = 1;
    bool operator==(const Properties&) const = default;
  };

  enum class Property {
    status,
    volume,
    track,
    canGoNext,
    canGoPrevious,
    canPlay,
    canPause,
    canSeek,
    loop,
    rate
  };

  MediaPlayerRemote(MainQueue& queue, PlaybackControls& session,
                    const StreamingProviderRegistry& registry);
  MediaPlayerRemote(const MediaPlayerRemote&) = delete;
  MediaPlayerRemote& operator=(const MediaPlayerRemote&) = delete;

  Properties properties() const;
  std::int64_t positionMicroseconds() const;

  void play();
  void pause();
  void playPause();
  // Pauses at the start; reads as stopped until playback starts again.
  void stop();
  // Only where the queue has a neighbour, as the toolbar's buttons.
  void next();
  void previous();
  // Relative to the position; before the start seeks to it, past the end goes to the next item,
  // or stops where there is none.
  void seek(std::int64_t offsetMicroseconds);
  // Ignored unless the track is the current one and the position lies within it.
  void setPosition(const std::string& trackID, std::int64_t positionMicroseconds);
  // 0 to 1; beyond that clamped.
  void setVolume(double volume);
  // A rate of 0 pauses; any other is the playback speed, within kSlowestRate and kFastestRate.
  void setRate(double rate);
  void setLoop(PlaylistRepeat loop);
  // The playlist keeps no shuffled order: asked to shuffle, it shuffles what is left of the
  // folder being played once, as the panel's "Shuffle remaining videos", and plays on in order.
  void setShuffle(bool shuffle);
  enum class OpenRefusal { unsupported, missingFile };
  // Opens and plays the link; refused, and nothing opens, when it is no file, web link or
  // playable media, or a file that cannot be read.
  std::optional<OpenRefusal> openURI(const std::string& uri);

  // The properties that changed since the observers were last told, once per main-loop turn.
  [[nodiscard]] ObserverToken observeChanges(
      std::function<void(const std::vector<Property>&)> observer);
  // Where playback went after a seek, by these commands or the player's own.
  [[nodiscard]] ObserverToken observeSeeks(std::function<void(std::int64_t)> observer);

  // The track's object path: every byte outside [A-Za-z0-9] is written as _XX in hexadecimal, so
  // distinct media IDs never share a path.
  static std::string trackID(const std::string& mediaID);

 private:
  // Where the position stood when last read, to tell a seek from playback moving on.
  struct Reading {
    std::optional<std::string> mediaID;
    double position = 0;
    // Playing or paused: a position the engine has reported, not the start it was asked for.
    bool started = false;
    bool advancing = false;
    // Seconds of media per second of the clock while advancing.
    double rate = 1;
    double at = 0;
  };

  void scheduleUpdate();
  void update();
  void seekTo(double seconds);
  Reading read() const;

  MainQueue& queue_;
  PlaybackControls& session_;
  const StreamingProviderRegistry& registry_;
  // Stopped by `stop` until playback starts again or other media comes.
  bool stopped_ = false;
  int lastState_ = -1;
  Properties announced_;
  Reading reading_;
  bool updatePending_ = false;
  ObserverList<const std::vector<Property>&> changes_;
  ObserverList<std::int64_t> seeks_;
  ObserverToken sessionChanges_;
  Lifetime lifetime_;
};

}  // namespace orvel
