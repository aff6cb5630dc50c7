// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

#include "core/Url.h"

namespace orvel {

// A resolved media source.
struct StreamingMedia {
  std::string providerID;
  std::string providerName;
  // Positions, history entries and playlist progress are stored under this key.
  std::string mediaID;
  Url playbackURL;
  std::string defaultTitle;
  // True when a start time can ride in the playback URL itself.
  bool canResumeWithURLParameter = false;

  bool operator==(const StreamingMedia&) const = default;
};

}  // namespace orvel

template <>
struct std::hash<orvel::StreamingMedia> {
  std::size_t operator()(const orvel::StreamingMedia& media) const noexcept {
    std::size_t seed = 0;
    auto combine = [&seed](std::size_t value) {
      seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    };
    std::hash<std::string> text;
    combine(text(media.providerID));
    combine(text(media.providerName));
    combine(text(media.mediaID));
    combine(std::hash<orvel::Url>()(media.playbackURL));
    combine(text(media.defaultTitle));
    combine(std::hash<bool>()(media.canResumeWithURLParameter));
    return seed;
  }
};
