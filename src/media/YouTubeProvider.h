// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "media/StreamingProvider.h"

namespace orvel {

// YouTube videos (media ID: the bare video ID) and playlists ("youtube-playlist:" + list ID).
class YouTubeProvider final : public StreamingProvider {
 public:
  static constexpr std::string_view kPlaylistPrefix = "youtube-playlist:";

  std::string id() const override { return id_; }
  std::string displayName() const override { return displayName_; }
  std::optional<StreamingMedia> resolve(std::string_view input, StartTime startTime) const override;
  std::optional<Url> playbackURL(std::string_view mediaID, StartTime startTime) const override;
  std::optional<Url> thumbnailURL(std::string_view mediaID) const override;

  // A YouTube link: http or https, no user or password, a YouTube host or a subdomain of one.
  static bool supports(const Url& url);
  // The video ID a YouTube link names, taken as it stands; none when it holds a colon, which no
  // video ID does and every other kind's media ID does.
  static std::optional<std::string> videoID(std::string_view input);

 private:
  std::string id_ = "youtube";
  std::string displayName_ = "YouTube";
};

}  // namespace orvel
