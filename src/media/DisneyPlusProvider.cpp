// SPDX-License-Identifier: GPL-3.0-or-later

#include "media/DisneyPlusProvider.h"

#include "core/Text.h"
#include "media/MediaHosts.h"

namespace orvel {

bool DisneyPlusProvider::supports(const Url& url) {
  if ((url.scheme() != "http" && url.scheme() != "https") || url.user() || url.password()) {
    return false;
  }
  const std::string host = asciiLowercased(url.host());
  const std::string_view domain = MediaHosts::kDisneyPlusDomain;
  return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                            host[host.size() - domain.size() - 1] == '.');
}

std::optional<StreamingMedia> DisneyPlusProvider::resolve(std::string_view input, StartTime) const {
  auto url = Url::parse(trimmedWhitespace(input));
  if (!url || !supports(*url)) {
    return std::nullopt;
  }
  // The path is kept percent-encoded so that the media ID rebuilds the same page URL.
  const std::string path = url->percentEncodedPath().empty() ? "/" : url->percentEncodedPath();
  return StreamingMedia{id_, displayName_, id_ + ":" + path, *url, "Disney+ Video", false};
}

std::optional<Url> DisneyPlusProvider::playbackURL(std::string_view mediaID, StartTime) const {
  const std::string prefix = id_ + ":";
  if (!mediaID.starts_with(prefix)) {
    return std::nullopt;
  }
  const std::string_view path = mediaID.substr(prefix.size());
  if (!path.starts_with("/") || path.starts_with("//")) {
    return std::nullopt;
  }
  return Url::parse(std::string(MediaHosts::kDisneyPlusOrigin) + std::string(path));
}

}  // namespace orvel
