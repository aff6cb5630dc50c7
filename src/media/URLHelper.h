// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

#include "media/StreamingProvider.h"

namespace orvel {

class URLHelper {
 public:
  // The URL under which a stored media ID is opened again.
  static std::string makeWatchURL(std::string_view videoID, StartTime startTime = {});
};

}  // namespace orvel
