// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Lifetime.h"
#include "native/MediaEnginePlayer.h"
#include "player/SubtitleCues.h"

namespace orvel {

// Subtitle files over a video that plays in the page (MP4 and WebM, from a file or a link): the
// files beside a local video with its name ("film.srt", "film.en.vtt"), shown at once, and files
// dropped on the window. They are read and parsed off the main loop and go into the page's video
// as text tracks built from their cues, so the page loads nothing for them.
class PageSubtitles {
 public:
  struct Host {
    // Runs the work off the main loop, then what it returns on the main loop.
    std::function<void(std::function<std::function<void()>()> work)> inBackground;
    std::function<void(const std::string& script)> evaluate;
    std::function<void(const std::string& text, double clearAfter)> statusMessage;
    // The tracks or the choice among them changed.
    std::function<void()> changed;
  };

  explicit PageSubtitles(Host host) : host_(std::move(host)) {}

  // A new video in the page; for a local file, the subtitle files beside it are looked for.
  void start(const std::optional<std::string>& videoPath);
  // Nothing plays in the page any more.
  void clear();
  // The page's video can take tracks (its length is known): the waiting ones go in.
  void videoReady();
  // A dropped file: added and shown, or refused with the reason.
  void add(const std::string& path);
  // Whether a video plays in the page that takes subtitle files.
  bool isActive() const { return active_; }

  std::vector<MediaTrack> tracks() const;
  void select(std::optional<std::int64_t> id);

  struct Beside {
    std::string path;
    // "en" of "film.en.srt"; empty for "film.srt".
    std::string language;
    bool operator==(const Beside&) const = default;
  };
  // The subtitle files beside a video with its name, exact name first; at most a few, read from
  // a bounded part of the folder.
  static std::vector<Beside> filesBeside(const std::string& videoPath);
  // The script that adds a track of these cues to the page's video, once and not shown.
  static std::string addScript(std::int64_t id, const MediaTrack& track,
                               const std::vector<SubtitleCues::Cue>& cues);
  // The script that shows the track, or none.
  static std::string selectScript(std::optional<std::int64_t> id);

 private:
  struct Track {
    MediaTrack track;
    std::string script;
    bool inPage = false;
  };
  struct Loaded {
    Beside file;
    std::vector<SubtitleCues::Cue> cues;
    std::string problem;
  };

  // Reads the dropped file, or the files beside the video, off the main loop.
  void read(const std::string& path, bool dropped);
  void took(std::vector<Loaded> loaded, bool dropped);
  std::optional<std::int64_t> selected() const;
  void pushIntoPage();

  Host host_;
  // Counts the videos, so that what a background read finds for an earlier one is dropped.
  std::uint64_t video_ = 0;
  bool active_ = false;
  bool ready_ = false;
  std::vector<Track> tracks_;
  Lifetime lifetime_;
};

}  // namespace orvel
