// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

#include "core/NotificationCenter.h"

namespace orvel {

// Asks the player window to open a media at a position.
struct PlaybackRequest {
  std::string videoID;
  double time = 0;
  std::optional<std::string> sourceURL;

  bool operator==(const PlaybackRequest&) const = default;

  // The form carried by the "openRecentVideo" notification.
  UserInfo userInfo() const;
};

}  // namespace orvel
