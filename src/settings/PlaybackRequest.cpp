// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/PlaybackRequest.h"

namespace orvel {

UserInfo PlaybackRequest::userInfo() const {
  UserInfo info{{"videoID", videoID}, {"time", time}};
  if (sourceURL) {
    info.emplace("sourceURL", *sourceURL);
  }
  return info;
}

}  // namespace orvel
