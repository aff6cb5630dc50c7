// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Lifetime.h"
#include "native/MediaEnginePlayer.h"
#include "player/WebEngine.h"

namespace orvel {

// The audio tracks of a video that plays in the page (an MP4 or WebM with several), as the web
// engine lists them once the video is there, and the one that plays.
class PageAudioTracks {
 public:
  struct Host {
    std::function<void(const std::string& script, WebEngine::Completion completion)> evaluate;
    // The tracks or the choice among them changed.
    std::function<void()> changed;
  };

  explicit PageAudioTracks(Host host) : host_(std::move(host)) {}

  // The page's video is there: its tracks are asked for.
  void videoReady();
  // Another video, or none.
  void clear();
  std::vector<MediaTrack> tracks() const { return tracks_; }
  void select(std::int64_t id);

  // Lists the video's audio tracks, a line each: "index TAB language TAB label TAB enabled".
  static constexpr const char* kListScript =
      "(() => { const v = document.querySelector('video'); if (!v || !v.audioTracks) return '';"
      " const lines = []; for (let i = 0; i < v.audioTracks.length && i < 64; i++) {"
      " const t = v.audioTracks[i]; lines.push([i, t.language, t.label, t.enabled ? 1 : 0]"
      ".map((x) => String(x).replace(/[\\t\\n\\r]/g, ' ').slice(0, 200)).join('\\t')); }"
      " return lines.join('\\n'); })()";
  static std::string selectScript(std::int64_t id);
  // The tracks of the list script's answer; lines that are not whole are left out.
  static std::vector<MediaTrack> parse(std::string_view answer);

 private:
  Host host_;
  std::vector<MediaTrack> tracks_;
  // Counts the videos, so that an answer about an earlier one is dropped.
  std::uint64_t video_ = 0;
  Lifetime lifetime_;
};

}  // namespace orvel
