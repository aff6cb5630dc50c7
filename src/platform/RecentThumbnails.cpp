#include "platform/RecentThumbnails.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "media/StreamingProviderRegistry.h"
#include "platform/GObjectPtr.h"

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
  auto loader = adoptGObject(gdk_pixbuf_loader_new());
  // Decoded straight to the menu's size where the format allows, so that a picture of huge
  // dimensions is never held whole.
  g_signal_connect(loader.get(), "size-prepared",
                   G_CALLBACK(+[](GdkPixbufLoader* self, int, int, gpointer) {
                     gdk_pixbuf_loader_set_size(self, kWidth, kHeight);
                   }),
                   nullptr);
  gsize size = 0;
  const auto* data = static_cast<const guchar*>(g_bytes_get_data(bytes, &size));
  const bool read = gdk_pixbuf_loader_write(loader.get(), data, size, nullptr);
  if (!gdk_pixbuf_loader_close(loader.get(), nullptr) || !read) {
    return std::nullopt;
  }
  GdkPixbuf* source = gdk_pixbuf_loader_get_pixbuf(loader.get());
  if (!source) {
    return std::nullopt;
  }
  auto small = adoptGObject(gdk_pixbuf_scale_simple(source, kWidth, kHeight, GDK_INTERP_HYPER));
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
