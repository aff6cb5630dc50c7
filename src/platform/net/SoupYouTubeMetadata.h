// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gio/gio.h>
#include <libsoup/soup.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/net/SoupFetcher.h"
#include "playlist/PlaylistMetadata.h"

namespace orvel {

// The title, channel and artwork of a YouTube link, over HTTPS with libsoup: YouTube's oEmbed
// answer, then the largest still that is really there (a 120-pixel placeholder does not count).
// Every failure is silent and leaves fields unknown; requests end after a bounded time, and
// answers larger than anything real are refused. Main thread only.
class SoupYouTubeMetadata {
 public:
  // The services' own addresses; a test points them at a local server.
  struct Hosts {
    std::string oEmbed = "https://www.youtube.com";
    std::string images = "https://i.ytimg.com";
  };
  static constexpr unsigned kTimeoutSeconds = 15;
  static constexpr std::size_t kMaxOEmbedBytes = 64 * 1024;
  static constexpr std::size_t kMaxImageBytes = 4 * 1024 * 1024;

  SoupYouTubeMetadata();
  explicit SoupYouTubeMetadata(Hosts hosts, unsigned timeoutSeconds = kTimeoutSeconds);
  // Requests still running are cancelled; their `done` is not called.
  ~SoupYouTubeMetadata();
  SoupYouTubeMetadata(const SoupYouTubeMetadata&) = delete;
  SoupYouTubeMetadata& operator=(const SoupYouTubeMetadata&) = delete;

  // `link` as stored in the playlist; `mediaID` its YouTube media ID. A playlist has no artwork.
  void load(const std::string& link, const std::string& mediaID,
            std::function<void(PlaylistMetadata::Info)> done);

 private:
  struct Request;
  using Fetched = std::function<void(std::shared_ptr<GBytes> body, guint status)>;
  void fetch(const std::string& url, std::size_t maxBytes, Fetched done);
  void tryArtwork(std::shared_ptr<Request> request, std::size_t size);

  Hosts hosts_;
  SoupFetcher fetcher_;
};

}  // namespace orvel
