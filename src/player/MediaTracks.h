// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "native/MediaEnginePlayer.h"

namespace orvel {

// The audio and subtitle tracks of what plays and the user's choice among them, as the options
// offer them: a film's own tracks and the subtitle files beside it (found by the engine), and
// subtitle files dropped on the window. The page's video offers its audio tracks and the subtitle
// files added to it; where there is nothing to choose, the options hide the row.
class MediaTracks {
 public:
  // One entry of a choice: a track, or none ("Off" for subtitles).
  struct Choice {
    std::optional<std::int64_t> id;
    std::string label;
    bool selected = false;
    bool operator==(const Choice&) const = default;
  };

  struct Host {
    // The engine's tracks of what plays; empty while nothing plays in the native engine.
    std::function<std::vector<MediaTrack>()> tracks;
    std::function<void(MediaTrack::Kind kind, std::optional<std::int64_t> id)> select;
    std::function<void()> changed;
  };

  explicit MediaTracks(Host host) : host_(std::move(host)) {}

  // Reads the engine's tracks again; tells the views when they changed.
  void refresh();
  // What plays was replaced: nothing to choose until the new media's tracks arrive.
  void clear();

  // The audio tracks when there are two or more (one is no choice), else none.
  std::vector<Choice> audio() const;
  // "Off" and each subtitle track, when there is one at least.
  std::vector<Choice> subtitles() const;
  void choose(MediaTrack::Kind kind, std::optional<std::int64_t> id);

  // "English — Commentary", "French", "Commentary", "Track 2" (the second of its kind), "… (file)"
  // for one beside the film or dropped on it.
  static std::string label(const MediaTrack& track, std::size_t number);

 private:
  std::vector<Choice> choices(MediaTrack::Kind kind) const;

  Host host_;
  std::vector<MediaTrack> tracks_;
};

}  // namespace orvel
