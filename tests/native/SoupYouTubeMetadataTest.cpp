// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupYouTubeMetadata.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "e2e/LocalWebServer.h"
#include "native/TestImages.h"

namespace orvel {
namespace {

// Runs the main loop until the answer comes, or gives up.
std::optional<PlaylistMetadata::Info> loadFrom(SoupYouTubeMetadata& loader, const std::string& link,
                                               const std::string& mediaID) {
  std::optional<PlaylistMetadata::Info> answer;
  loader.load(link, mediaID, [&](PlaylistMetadata::Info info) { answer = std::move(info); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!answer && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  return answer;
}

TEST(SoupYouTubeMetadata, TitleAuthorAndTheFirstRealStillFromALocalServer) {
  LocalWebServer server;
  const std::string link = "https://www.youtube.com/watch?v=dQw4w9WgXcQ";
  server.route("/oembed?url=https%3A%2F%2Fwww.youtube.com%2Fwatch%3Fv%3DdQw4w9WgXcQ&format=json",
               {.contentType = "application/json",
                .body = R"({"title":"A title","author_name":"A channel","width":7})",
                .extraHeaders = ""});
  // The largest still is YouTube's 120-pixel placeholder; the next size is the real one.
  server.route("/vi/dQw4w9WgXcQ/maxresdefault.jpg",
               {.contentType = "image/jpeg", .body = jpegOf(120, 90), .extraHeaders = ""});
  server.route("/vi/dQw4w9WgXcQ/sddefault.jpg",
               {.contentType = "image/jpeg", .body = jpegOf(640, 480), .extraHeaders = ""});
  SoupYouTubeMetadata loader({.oEmbed = server.url(""), .images = server.url("")});
  auto info = loadFrom(loader, link, "dQw4w9WgXcQ");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->title, "A title");
  EXPECT_EQ(info->author, "A channel");
  ASSERT_TRUE(info->thumbnail);
  EXPECT_EQ(gdk_pixbuf_get_width(static_cast<GdkPixbuf*>(const_cast<void*>(info->thumbnail.get()))),
            640);
  EXPECT_FALSE(server.wasAskedFor("/vi/dQw4w9WgXcQ/hqdefault.jpg"));
}

TEST(SoupYouTubeMetadata, BadAnswersLeaveFieldsUnknownAndPlaylistsGetNoArtwork) {
  LocalWebServer server;
  server.route("/oembed?url=x&format=json",
               {.contentType = "application/json", .body = "[1, 2", .extraHeaders = ""});
  server.route("/vi/abcdefghijk/maxresdefault.jpg",
               {.contentType = "image/jpeg", .body = "not an image", .extraHeaders = ""});
  SoupYouTubeMetadata loader({.oEmbed = server.url(""), .images = server.url("")});
  auto info = loadFrom(loader, "x", "abcdefghijk");
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->title);
  EXPECT_FALSE(info->thumbnail);
  EXPECT_TRUE(server.wasAskedFor("/vi/abcdefghijk/hqdefault.jpg"));

  // An answer far larger than any real one is refused.
  server.route("/oembed?url=big&format=json",
               {.contentType = "application/json",
                .body = R"({"title":")" + std::string(200 * 1024, 'a') + R"("})",
                .extraHeaders = ""});
  auto big = loadFrom(loader, "big", "youtube-playlist:PL1");
  ASSERT_TRUE(big);
  EXPECT_FALSE(big->title);
  EXPECT_FALSE(big->thumbnail);
  EXPECT_FALSE(server.wasAskedFor("/vi/youtube-playlist:PL1/maxresdefault.jpg"));
}

TEST(SoupYouTubeMetadata, AServerThatNeverAnswersIsGivenUpAfterTheTimeout) {
  LocalWebServer silent(LocalWebServer::Mode::silent);
  SoupYouTubeMetadata loader({.oEmbed = silent.url(""), .images = silent.url("")}, 1);
  const auto start = std::chrono::steady_clock::now();
  auto info = loadFrom(loader, "x", "abcdefghijk");
  ASSERT_TRUE(info);
  EXPECT_FALSE(info->title);
  EXPECT_FALSE(info->thumbnail);
  // One second for the answer and each of the three stills: given up long before the session's
  // own minute, even on a busy machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace orvel
