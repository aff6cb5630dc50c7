// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "media/DisneyPlusProvider.h"
#include "media/VideoFileProvider.h"

namespace orvel {
namespace {

TEST(VideoFileProvider, AcceptsOnlyItsOwnExtensionInAnyCase) {
  VideoFileProvider webm("webm");
  auto media = webm.resolve("https://cdn.example.com/media/clip.WEBM", {});
  ASSERT_TRUE(media);
  EXPECT_EQ(media->providerID, "webm");
  EXPECT_EQ(media->providerName, "WebM");
  EXPECT_EQ(media->defaultTitle, "clip");
  EXPECT_EQ(media->mediaID, "webm:https://cdn.example.com/media/clip.WEBM");
  EXPECT_FALSE(media->canResumeWithURLParameter);

  EXPECT_FALSE(VideoFileProvider("mp4").resolve("https://cdn.example.com/clip.webm", {}));
  EXPECT_FALSE(webm.resolve("https://cdn.example.com/clip.webm.txt", {}));
  EXPECT_FALSE(webm.resolve("https://cdn.example.com/webm", {}));
}

TEST(VideoFileProvider, FileURLsNeedNoHostButWebLinksDo) {
  VideoFileProvider mkv("mkv");
  auto media = mkv.resolve("file:///home/me/Videos/My%20Film.mkv", {});
  ASSERT_TRUE(media);
  EXPECT_EQ(media->providerName, "MKV");
  EXPECT_EQ(media->defaultTitle, "My Film");
  EXPECT_EQ(media->mediaID, "mkv:file:///home/me/Videos/My%20Film.mkv");
  EXPECT_EQ(VideoFileProvider("mp4").displayName(), "MP4");

  EXPECT_FALSE(mkv.resolve("https:///film.mkv", {}));
  EXPECT_FALSE(mkv.resolve("ftp://host/film.mkv", {}));
  EXPECT_FALSE(mkv.resolve("/home/me/film.mkv", {}));
  EXPECT_FALSE(mkv.resolve("film.mkv", {}));
}

TEST(VideoFileProvider, RebuildsThePlaybackURLFromItsMediaID) {
  VideoFileProvider mp4("mp4");
  EXPECT_EQ(mp4.playbackURL("mp4:https://a.example/x.mp4", {})->absoluteString(),
            "https://a.example/x.mp4");
  EXPECT_EQ(mp4.playbackURL("mkv:https://a.example/x.mp4", {}), std::nullopt);
  EXPECT_EQ(mp4.playbackURL("mp4:https://a.example/x.mkv", {}), std::nullopt);
  EXPECT_EQ(mp4.thumbnailURL("mp4:https://a.example/x.mp4"), std::nullopt);
}

TEST(DisneyPlusProvider, KeysPagesByPathAndRebuildsThemOnTheSiteOrigin) {
  DisneyPlusProvider disney;
  auto media = disney.resolve("https://www.disneyplus.com/video/abc-123?x=1#t", 40);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->mediaID, "disneyplus:/video/abc-123");
  EXPECT_EQ(media->playbackURL.absoluteString(), "https://www.disneyplus.com/video/abc-123?x=1#t");
  EXPECT_EQ(media->defaultTitle, "Disney+ Video");
  EXPECT_FALSE(media->canResumeWithURLParameter);
  EXPECT_EQ(disney.resolve("https://disneyplus.com", {})->mediaID, "disneyplus:/");

  EXPECT_EQ(disney.playbackURL("disneyplus:/video/abc-123", {})->absoluteString(),
            "https://www.disneyplus.com/video/abc-123");
  EXPECT_EQ(disney.playbackURL("disneyplus://evil.example/x", {}), std::nullopt);
  EXPECT_EQ(disney.playbackURL("disneyplus:video", {}), std::nullopt);
  EXPECT_EQ(disney.playbackURL("youtube:/x", {}), std::nullopt);

  EXPECT_FALSE(disney.resolve("https://me:pw@www.disneyplus.com/video/x", {}));
  EXPECT_FALSE(disney.resolve("https://disneyplus.com.evil.example/video/x", {}));
}

}  // namespace
}  // namespace orvel
