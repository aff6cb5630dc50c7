// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupYouTubeMetadata.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "core/Text.h"
#include "core/Url.h"
#include "platform/gtk/ImageDecoding.h"

namespace orvel {
namespace {

constexpr std::array<const char*, 3> kStillSizes = {"maxresdefault", "sddefault", "hqdefault"};
constexpr int kMinimumArtworkWidth = 320;

PlaylistMetadata::Image decodeArtwork(GBytes* body) {
  gsize size = 0;
  const void* data = g_bytes_get_data(body, &size);
  GObjectPtr<GdkPixbuf> pixbuf = decodeImage(data, size);
  if (!pixbuf || gdk_pixbuf_get_width(pixbuf.get()) < kMinimumArtworkWidth) {
    return nullptr;
  }
  return std::shared_ptr<GdkPixbuf>(pixbuf.release(),
                                    [](GdkPixbuf* owned) { g_object_unref(owned); });
}

}  // namespace

struct SoupYouTubeMetadata::Request {
  std::string mediaID;
  PlaylistMetadata::Info info;
  std::function<void(PlaylistMetadata::Info)> done;
};

SoupYouTubeMetadata::SoupYouTubeMetadata() : SoupYouTubeMetadata(Hosts{}) {}

SoupYouTubeMetadata::SoupYouTubeMetadata(Hosts hosts, unsigned timeoutSeconds)
    : hosts_(std::move(hosts)), fetcher_(timeoutSeconds) {}

SoupYouTubeMetadata::~SoupYouTubeMetadata() = default;

void SoupYouTubeMetadata::load(const std::string& link, const std::string& mediaID,
                               std::function<void(PlaylistMetadata::Info)> done) {
  auto request = std::make_shared<Request>(Request{mediaID, {}, std::move(done)});
  const std::string address =
      hosts_.oEmbed + "/oembed?url=" + percentEncoded(link, "") + "&format=json";
  fetch(address, kMaxOEmbedBytes, [this, request](std::shared_ptr<GBytes> body, guint) {
    // The status is not looked at: a body that is a JSON object with the fields is enough.
    if (body) {
      gsize size = 0;
      const auto* data = static_cast<const char*>(g_bytes_get_data(body.get(), &size));
      auto json = nlohmann::json::parse(data, data + size, nullptr, false);
      if (json.is_object()) {
        if (auto title = json.find("title"); title != json.end() && title->is_string()) {
          request->info.title = title->get<std::string>();
          cutToCharacters(*request->info.title, kLongestTitle);
        }
        if (auto author = json.find("author_name"); author != json.end() && author->is_string()) {
          request->info.author = author->get<std::string>();
          cutToCharacters(*request->info.author, kLongestTitle);
        }
      }
    }
    tryArtwork(request, 0);
  });
}

void SoupYouTubeMetadata::tryArtwork(std::shared_ptr<Request> request, std::size_t size) {
  if (request->mediaID.starts_with("youtube-playlist:") || size >= kStillSizes.size()) {
    request->done(std::move(request->info));
    return;
  }
  const std::string address =
      hosts_.images + "/vi/" + request->mediaID + "/" + kStillSizes[size] + ".jpg";
  fetch(address, kMaxImageBytes, [this, request, size](std::shared_ptr<GBytes> body, guint status) {
    if (body && status == SOUP_STATUS_OK) {
      if (auto image = decodeArtwork(body.get())) {
        request->info.thumbnail = std::move(image);
        request->done(std::move(request->info));
        return;
      }
    }
    tryArtwork(request, size + 1);
  });
}

// Sends a GET and reads at most maxBytes of the answer; a larger answer counts as a failure
// (null body). Nothing is called once the loader has gone.
void SoupYouTubeMetadata::fetch(const std::string& url, std::size_t maxBytes, Fetched done) {
  fetcher_.get(url, maxBytes, [done = std::move(done)](SoupFetcher::Answer answer) {
    done(std::move(answer.body), answer.status);
  });
}

}  // namespace orvel
