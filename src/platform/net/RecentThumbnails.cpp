// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/RecentThumbnails.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "media/StreamingProviderRegistry.h"
#include "platform/gtk/ImageDecoding.h"
#include "platform/system/GObjectPtr.h"

namespace orvel {

RecentThumbnails::RecentThumbnails(Address address, unsigned timeoutSeconds)
    : address_(std::move(address)), fetcher_(timeoutSeconds) {}

RecentThumbnails::Address RecentThumbnails::providerAddress() {
  return [](const std::string& videoID) -> std::optional<std::string> {
    const StreamingProvider* provider = StreamingProviderRegistry::shared().provider(videoID);
    if (!provider) {
      return std::nullopt;
    }
    auto url = provider->thumbnailURL(videoID);
    return url ? std::optional(url->absoluteString()) : std::nullopt;
  };
}

ObserverToken RecentThumbnails::observeArrivals(std::function<void()> observer) {
  return arrivals_.add(std::move(observer));
}

const std::vector<unsigned char>* RecentThumbnails::png(const std::string& videoID) {
  if (auto cached = cache_.find(videoID); cached != cache_.end()) {
    return &cached->second;
  }
  if (fetching_.contains(videoID)) {
    return nullptr;
  }
  const auto address = address_ ? address_(videoID) : std::nullopt;
  if (!address) {
    return nullptr;
  }
  fetching_.insert(videoID);
  fetcher_.get(*address, kMaxImageBytes, [this, videoID](SoupFetcher::Answer answer) {
    fetching_.erase(videoID);
    // The status is not looked at: an image is enough.
    if (auto image = answer.body ? resized(answer.body.get()) : std::nullopt) {
      cache_[videoID] = std::move(*image);
      arrivals_.notify();
    }
  });
  return nullptr;
}

std::optional<std::vector<unsigned char>> RecentThumbnails::resized(GBytes* bytes) {
  // Decoded to the menu's size, and refused when its header shows huge dimensions.
  gsize size = 0;
  const void* data = g_bytes_get_data(bytes, &size);
  auto small = decodeImage(data, size, ImageSize{kWidth, kHeight});
  gchar* png = nullptr;
  gsize length = 0;
  if (!small || !gdk_pixbuf_save_to_buffer(small.get(), &png, &length, "png", nullptr, nullptr)) {
    return std::nullopt;
  }
  std::vector<unsigned char> result(png, png + length);
  g_free(png);
  return result;
}

}  // namespace orvel
