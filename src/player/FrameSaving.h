// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/Lifetime.h"
#include "player/WebEngine.h"

namespace orvel {

// Save Frame: the picture that shows, as a PNG at the video's size in the user's Pictures folder,
// named after the video and the time, with the status line saying where. The native engine
// writes its decoded picture; for the page, the web view's picture of the video element is cut
// out and scaled to the video's size (a YouTube video, inside its embedded player, is saved as
// the view shows it).
class FrameSaving {
 public:
  enum class Source { none, native, page };

  struct Host {
    // Where the picture that shows comes from; none when nothing plays.
    std::function<Source()> source;
    std::function<std::string()> title;
    std::function<double()> time;
    // The folder pictures go to, made when missing; none when it cannot be.
    std::function<std::optional<std::string>()> picturesFolder;
    std::function<void(const std::string& path, std::function<void(bool saved)> done)> saveNative;
    WebEngine* web = nullptr;
    std::function<void(const std::string& text, double clearAfter)> statusMessage;
    // The user's home, which the message shortens to "~".
    std::string home;
  };

  // Finds where the video element's picture is in the view and its own size; the answer is "x y
  // width height videoWidth videoHeight", empty without a video element that has a picture.
  static constexpr const char* kRegionScript =
      "(() => { const v = document.querySelector('video');"
      " if (!v || !v.videoWidth || !v.videoHeight) return '';"
      " const r = v.getBoundingClientRect();"
      " const s = Math.min(r.width / v.videoWidth, r.height / v.videoHeight);"
      " const w = v.videoWidth * s, h = v.videoHeight * s, d = window.devicePixelRatio || 1;"
      " return [(r.left + (r.width - w) / 2) * d, (r.top + (r.height - h) / 2) * d, w * d, h * d,"
      " v.videoWidth, v.videoHeight].join(' '); })()";

  explicit FrameSaving(Host host) : host_(std::move(host)) {}

  void save();
  bool isSaving() const { return saving_; }

  // "Title 0-01-05.png": the title made safe for a file name (no slashes, control characters or
  // leading dots; 100 characters and 200 bytes at most; "Frame" when nothing is left), then the
  // time.
  static std::string fileName(std::string_view title, double seconds);
  // The region of the kRegionScript answer, or none (the whole view) when it holds no sensible
  // one.
  static std::optional<PictureRegion> parseRegion(std::string_view answer);
  // A path in the folder for the name that names no file yet: "name (2).png" and on when taken.
  static std::string freePath(const std::string& folder, const std::string& name);

 private:
  void finish(const std::string& path, bool saved);

  Host host_;
  bool saving_ = false;
  Lifetime lifetime_;
};

}  // namespace orvel
