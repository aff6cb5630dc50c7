// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/RecentThumbnails.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "e2e/LocalWebServer.h"
#include "native/TestImages.h"
#include "platform/gtk/ImageDecoding.h"

namespace orvel {
namespace {

void runFor(std::chrono::milliseconds span, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + span;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
  }
}

// A small file may stand for a huge picture: it is refused from its header, before its pixels
// are given room, while one of a sane size decodes, scaled where asked.
TEST(RecentThumbnails, ImagesOfHugeDimensionsAreRefusedWhateverTheirFileSize) {
  const std::string fits = blackPNG(kLargestImageSide, 16);
  auto decoded = decodeImage(fits.data(), fits.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(gdk_pixbuf_get_width(decoded.get()), kLargestImageSide);
  auto scaled = decodeImage(fits.data(), fits.size(), ImageSize{64, 2});
  ASSERT_TRUE(scaled);
  EXPECT_EQ(gdk_pixbuf_get_width(scaled.get()), 64);

  for (const auto& [width, height] : {std::pair{16000u, 16000u}, std::pair{20000u, 8u}}) {
    const std::string huge = blackPNG(width, height);
    EXPECT_LT(huge.size(), 1024u * 1024u);
    EXPECT_FALSE(decodeImage(huge.data(), huge.size())) << width << " × " << height;
    EXPECT_FALSE(decodeImage(huge.data(), huge.size(), ImageSize{64, 36}));
  }
  const std::string notAnImage = "<html>no</html>";
  EXPECT_FALSE(decodeImage(notAnImage.data(), notAnImage.size()));
}

TEST(RecentThumbnails, OneFetchPerVideoMadeSmallAndKeptWhileBadPicturesAreTriedAgain) {
  LocalWebServer server;
  server.route("/vi/good.jpg",
               {.contentType = "image/jpeg", .body = jpegOf(320, 180), .extraHeaders = ""});
  server.route("/vi/bad.jpg",
               {.contentType = "image/jpeg", .body = "<html>no</html>", .extraHeaders = ""});
  RecentThumbnails thumbnails([&](const std::string& id) -> std::optional<std::string> {
    return id == "none" ? std::nullopt : std::optional(server.url("/vi/" + id + ".jpg"));
  });
  int arrivals = 0;
  auto token = thumbnails.observeArrivals([&] { ++arrivals; });

  EXPECT_EQ(thumbnails.png("good"), nullptr);
  EXPECT_EQ(thumbnails.png("good"), nullptr);
  EXPECT_EQ(thumbnails.png("bad"), nullptr);
  EXPECT_EQ(thumbnails.png("none"), nullptr);
  runFor(std::chrono::seconds(10), [&] { return arrivals == 1; });
  ASSERT_EQ(arrivals, 1);
  const auto* png = thumbnails.png("good");
  ASSERT_NE(png, nullptr);
  GBytes* bytes = g_bytes_new(png->data(), png->size());
  GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
  GdkPixbuf* decoded = gdk_pixbuf_new_from_stream(stream, nullptr, nullptr);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(decoded), RecentThumbnails::kWidth);
  EXPECT_EQ(gdk_pixbuf_get_height(decoded), RecentThumbnails::kHeight);
  g_object_unref(decoded);
  g_object_unref(stream);
  g_bytes_unref(bytes);

  const auto asked = server.asked();
  EXPECT_EQ(std::count(asked.begin(), asked.end(), "/vi/good.jpg"), 1);
  // The page that is not a picture is asked for again next time.
  runFor(std::chrono::milliseconds(500), [] { return false; });
  EXPECT_EQ(thumbnails.png("bad"), nullptr);
  runFor(std::chrono::seconds(5), [&] {
    const auto now = server.asked();
    return std::count(now.begin(), now.end(), "/vi/bad.jpg") == 2;
  });
  const auto later = server.asked();
  EXPECT_EQ(std::count(later.begin(), later.end(), "/vi/bad.jpg"), 2);
}

}  // namespace
}  // namespace orvel
