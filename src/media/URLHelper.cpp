// SPDX-License-Identifier: GPL-3.0-or-later

#include "media/URLHelper.h"

#include "media/MediaHosts.h"
#include "media/StreamingProviderRegistry.h"

namespace orvel {

std::string URLHelper::makeWatchURL(std::string_view videoID, StartTime startTime) {
  if (const StreamingProvider* provider = StreamingProviderRegistry::shared().provider(videoID)) {
    if (auto url = provider->playbackURL(videoID, startTime)) {
      return url->absoluteString();
    }
  }
  return "https://" + std::string(MediaHosts::kYouTubeCanonicalHost) +
         "/watch?v=" + std::string(videoID);
}

}  // namespace orvel
