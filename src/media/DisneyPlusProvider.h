// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "media/StreamingProvider.h"

namespace orvel {

// Disney+ pages, played in the web view; media ID "disneyplus:" + the page path.
class DisneyPlusProvider final : public StreamingProvider {
 public:
  std::string id() const override { return id_; }
  std::string displayName() const override { return displayName_; }
  std::optional<StreamingMedia> resolve(std::string_view input, StartTime startTime) const override;
  std::optional<Url> playbackURL(std::string_view mediaID, StartTime startTime) const override;
  std::optional<Url> thumbnailURL(std::string_view) const override { return std::nullopt; }

  static bool supports(const Url& url);

 private:
  std::string id_ = "disneyplus";
  std::string displayName_ = "Disney+";
};

}  // namespace orvel
