// SPDX-License-Identifier: GPL-3.0-or-later

#include "media/YouTubeProvider.h"

#include <algorithm>
#include <array>

#include "core/Text.h"
#include "media/MediaHosts.h"

namespace orvel {
namespace {

bool hostIsOrIsUnder(std::string_view host, std::string_view domain) {
  return host == domain || (host.size() > domain.size() && host.ends_with(domain) &&
                            host[host.size() - domain.size() - 1] == '.');
}

Url canonicalURL(std::string_view path, std::string_view name, std::string_view value,
                 StartTime startTime) {
  std::string text = "https://" + std::string(MediaHosts::kYouTubeCanonicalHost) +
                     std::string(path) + "?" + std::string(name) + "=" +
                     percentEncoded(value, "!$'()*+,;:@/?");
  if (startTime && *startTime > 0) {
    text += "&t=" + std::to_string(*startTime);
  }
  auto url = Url::parse(text);
  return url ? *url : *Url::parse("https://" + std::string(MediaHosts::kYouTubeCanonicalHost));
}

// The link's own query with every "t" item replaced by one that holds the start time; the other
// items keep their encoding as written.
std::string queryWithStartTime(const Url& url, std::int64_t startTime) {
  std::string query;
  std::string_view rest = url.query() ? std::string_view(*url.query()) : std::string_view();
  while (!rest.empty()) {
    const std::size_t ampersand = rest.find('&');
    const std::string_view piece = rest.substr(0, ampersand);
    rest = ampersand == std::string_view::npos ? std::string_view() : rest.substr(ampersand + 1);
    if (piece.empty() || lenientPercentDecoded(piece.substr(0, piece.find('='))) == "t") {
      continue;
    }
    query += piece;
    query += '&';
  }
  return query + "t=" + std::to_string(startTime);
}

}  // namespace

bool YouTubeProvider::supports(const Url& url) {
  if ((url.scheme() != "http" && url.scheme() != "https") || url.user() || url.password()) {
    return false;
  }
  const std::string host = asciiLowercased(url.host());
  return std::any_of(MediaHosts::kYouTubeHosts.begin(), MediaHosts::kYouTubeHosts.end(),
                     [&host](std::string_view domain) { return hostIsOrIsUnder(host, domain); });
}

namespace {

// The ID as the link names it, before the check below.
std::optional<std::string> linkedVideoID(std::string_view input) {
  auto url = Url::parse(input);
  if (!url || !YouTubeProvider::supports(*url)) {
    return std::nullopt;
  }
  if (hostIsOrIsUnder(asciiLowercased(url->host()), MediaHosts::kYouTubeShortLinkHost)) {
    const std::vector<std::string> components = url->pathComponents();
    if (components.size() >= 2 && !components[1].empty() && components[1] != "/") {
      return components[1];
    }
    return std::nullopt;
  }
  for (const Url::QueryItem& item : url->queryItems()) {
    if (item.name == "v") {
      if (item.value && !item.value->empty()) {
        return item.value;
      }
      break;
    }
  }
  static constexpr std::array<std::string_view, 5> kMarkers = {"embed", "shorts", "live", "v", "e"};
  std::vector<std::string> segments = url->pathComponents();
  std::erase(segments, "/");
  for (std::size_t index = 0; index + 1 < segments.size(); ++index) {
    const std::string marker = asciiLowercased(segments[index]);
    if (std::find(kMarkers.begin(), kMarkers.end(), marker) != kMarkers.end() &&
        !segments[index + 1].empty()) {
      return segments[index + 1];
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> YouTubeProvider::videoID(std::string_view input) {
  auto id = linkedVideoID(input);
  // The media IDs of the other kinds start with a name and a colon ("webm:", "youtube-playlist:"),
  // and a real video ID holds no colon: one that does would be filed, with its position and
  // history, under another kind.
  if (id && id->find(':') != std::string::npos) {
    return std::nullopt;
  }
  return id;
}

std::optional<StreamingMedia> YouTubeProvider::resolve(std::string_view input,
                                                       StartTime startTime) const {
  auto url = Url::parse(trimmedWhitespace(input));
  if (url && supports(*url)) {
    std::vector<Url::QueryItem> items = url->queryItems();
    auto list = std::find_if(items.begin(), items.end(),
                             [](const Url::QueryItem& item) { return item.name == "list"; });
    if (list != items.end() && list->value && !list->value->empty()) {
      const std::string listID = *list->value;
      Url playback = *url;
      if (startTime && *startTime >= 1) {
        if (auto rebuilt =
                url->replacingPercentEncodedQuery(queryWithStartTime(*url, *startTime))) {
          playback = *rebuilt;
        }
      }
      return StreamingMedia{id_,      displayName_,       std::string(kPlaylistPrefix) + listID,
                            playback, "YouTube Playlist", true};
    }
  }
  if (auto videoID = YouTubeProvider::videoID(input)) {
    if (auto playback = playbackURL(*videoID, startTime)) {
      return StreamingMedia{id_, displayName_, *videoID, *playback, "YouTube Video", true};
    }
  }
  return std::nullopt;
}

std::optional<Url> YouTubeProvider::playbackURL(std::string_view mediaID,
                                                StartTime startTime) const {
  if (mediaID.starts_with(kPlaylistPrefix)) {
    return canonicalURL("/playlist", "list", mediaID.substr(kPlaylistPrefix.size()), startTime);
  }
  return canonicalURL("/watch", "v", mediaID, startTime);
}

std::optional<Url> YouTubeProvider::thumbnailURL(std::string_view mediaID) const {
  if (mediaID.starts_with(kPlaylistPrefix)) {
    return std::nullopt;
  }
  return Url::parse("https://" + std::string(MediaHosts::kYouTubeThumbnailHost) + "/vi/" +
                    percentEncoded(mediaID, "") + "/mqdefault.jpg");
}

}  // namespace orvel
