// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "media/StreamingProvider.h"

namespace orvel {

// MP4, WebM or MKV files and links, by extension alone: the file is never touched here. Media
// ID: the extension, ":", then the URL's absolute string.
class VideoFileProvider final : public StreamingProvider {
 public:
  // "mp4", "webm" or "mkv".
  explicit VideoFileProvider(std::string id) : id_(std::move(id)) {}

  std::string id() const override { return id_; }
  std::string displayName() const override;
  std::optional<StreamingMedia> resolve(std::string_view input, StartTime startTime) const override;
  std::optional<Url> playbackURL(std::string_view mediaID, StartTime startTime) const override;
  std::optional<Url> thumbnailURL(std::string_view) const override { return std::nullopt; }

 private:
  std::string id_;
};

}  // namespace orvel
