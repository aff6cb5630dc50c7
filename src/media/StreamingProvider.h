// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/Url.h"
#include "media/StreamingMedia.h"

namespace orvel {

// Start times are whole seconds.
using StartTime = std::optional<std::int64_t>;

// One kind of media source: recognises its links and rebuilds URLs from its media IDs.
class StreamingProvider {
 public:
  virtual ~StreamingProvider() = default;

  virtual std::string id() const = 0;
  virtual std::string displayName() const = 0;
  virtual std::optional<StreamingMedia> resolve(std::string_view input,
                                                StartTime startTime) const = 0;
  virtual std::optional<Url> playbackURL(std::string_view mediaID, StartTime startTime) const = 0;
  virtual std::optional<Url> thumbnailURL(std::string_view mediaID) const = 0;
};

}  // namespace orvel
