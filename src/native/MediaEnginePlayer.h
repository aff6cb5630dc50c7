// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Url.h"

namespace orvel {

// An audio or subtitle track of the media, as the engine lists it.
struct MediaTrack {
  enum class Kind { audio, subtitle };
  Kind kind = Kind::audio;
  // The engine's own number of the track; choosing it names it.
  std::int64_t id = 0;
  // As the file tags it ("eng", "fr"); empty when it says nothing.
  std::string language;
  std::string title;
  bool selected = false;
  // A subtitle file beside the media, or one added later, rather than a track of the file.
  bool external = false;
  bool operator==(const MediaTrack&) const = default;
};

// A chapter of the media, where it starts in seconds.
struct MediaChapter {
  std::string title;
  double start = 0;
  bool operator==(const MediaChapter&) const = default;
};

// What an engine player is doing, in the engine's own terms; the playback maps it to the
// snapshot state codes.
enum class MediaEngineState { stopped, opening, buffering, playing, paused, ended, error };

// One player of the native media engine. Every call is made on the main thread and none blocks
// on the engine: requests are handed to the engine in the order they are made, and the readings
// are the engine's latest known values.
class MediaEnginePlayer {
 public:
  using StateObserver = std::function<void(MediaEngineState)>;

  virtual ~MediaEnginePlayer() = default;

  // Chooses what `play` opens; none forgets it. Opening waits for `play`.
  virtual void setMedia(std::optional<Url> url) = 0;
  virtual bool hasMedia() const = 0;

  // Opens the media if it is not open yet, else resumes it.
  virtual void play() = 0;
  virtual void pause() = 0;
  virtual void stop() = 0;

  virtual bool isPlaying() const = 0;
  virtual MediaEngineState state() const = 0;
  virtual bool isSeekable() const = 0;

  // Position and media length in milliseconds; the length is 0 while unknown.
  virtual std::int64_t time() const = 0;
  virtual void setTime(std::int64_t milliseconds) = 0;
  virtual std::int64_t length() const = 0;

  // Output volume 0...100; none when the player has no audio output to control.
  virtual std::optional<int> volume() const = 0;
  virtual void setVolume(int volume) = 0;

  // Playback speed, 1 the media's own; the pitch is kept.
  virtual void setRate(double rate) = 0;

  // The media's audio and subtitle tracks and its chapters, once it is open (none before).
  virtual std::vector<MediaTrack> tracks() const = 0;
  virtual std::vector<MediaChapter> chapters() const = 0;
  // Plays the track of that kind; none turns the kind off (no subtitles).
  virtual void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id) = 0;
  // Adds a subtitle file and shows it.
  virtual void addSubtitleFile(const std::string& path) = 0;
  // Writes the picture that shows, at the video's own size and without subtitles, as a PNG
  // file; `done` is told whether it was written, on any thread.
  virtual void saveFrame(const std::string& path, std::function<void(bool saved)> done) = 0;

  // Gains in dB, one per band of the engine's band set in its order; none removes the
  // equalizer.
  virtual void setEqualizer(std::optional<std::vector<double>> amplifications) = 0;

  // Called with every state the player enters, on any thread. Once this returns, the observer
  // it replaced is neither running nor called again, so clearing it is enough to detach.
  virtual void setStateObserver(StateObserver observer) = 0;
};

}  // namespace orvel
