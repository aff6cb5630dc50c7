// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "media/YouTubeProvider.h"

namespace orvel {
namespace {

std::optional<std::string> idOf(std::string_view link) {
  return YouTubeProvider::videoID(link);
}

TEST(YouTubeProvider, FindsTheVideoIDInEveryLinkShape) {
  EXPECT_EQ(idOf("https://www.youtube.com/watch?v=dQw4w9WgXcQ"), "dQw4w9WgXcQ");
  EXPECT_EQ(idOf("http://m.youtube.com/watch?feature=share&v=abc"), "abc");
  EXPECT_EQ(idOf("https://youtu.be/dQw4w9WgXcQ?t=42"), "dQw4w9WgXcQ");
  EXPECT_EQ(idOf("https://www.youtube-nocookie.com/embed/xyz"), "xyz");
  EXPECT_EQ(idOf("https://youtube.com/shorts/Short1"), "Short1");
  EXPECT_EQ(idOf("https://youtube.com/live/Live1?si=q"), "Live1");
  EXPECT_EQ(idOf("https://youtube.com/v/Old1"), "Old1");
  EXPECT_EQ(idOf("https://youtube.com/e/Old2"), "Old2");
  // The marker ignores case; the ID keeps its own.
  EXPECT_EQ(idOf("https://youtube.com/EMBED/MiXeD"), "MiXeD");
  // An empty "v" falls through to the path markers.
  EXPECT_EQ(idOf("https://www.youtube.com/embed/fromPath?v="), "fromPath");
  // The first "v" decides even when a later one has a value.
  EXPECT_EQ(idOf("https://www.youtube.com/watch?v=first&v=second"), "first");
}

TEST(YouTubeProvider, RefusesWhatIsNotAVideoLink) {
  EXPECT_EQ(idOf("https://youtu.be/"), std::nullopt);
  EXPECT_EQ(idOf("https://youtu.be"), std::nullopt);
  // Short links never read the query.
  EXPECT_EQ(idOf("https://youtu.be/?v=abc"), std::nullopt);
  EXPECT_EQ(idOf("https://www.youtube.com/embed/"), std::nullopt);
  EXPECT_EQ(idOf("https://www.youtube.com/feed/subscriptions"), std::nullopt);
  EXPECT_EQ(idOf("https://user:pw@www.youtube.com/watch?v=abc"), std::nullopt);
  EXPECT_EQ(idOf("https://user@www.youtube.com/watch?v=abc"), std::nullopt);
  EXPECT_EQ(idOf("ftp://www.youtube.com/watch?v=abc"), std::nullopt);
  EXPECT_EQ(idOf("https://notyoutube.com/watch?v=abc"), std::nullopt);
  EXPECT_EQ(idOf("https://youtube.com.evil.example/watch?v=abc"), std::nullopt);
  // An ID that reads as another kind's media ID would be filed under that kind.
  EXPECT_EQ(idOf("https://www.youtube.com/watch?v=webm:clip"), std::nullopt);
  EXPECT_EQ(idOf("https://youtu.be/mp4:clip"), std::nullopt);
  EXPECT_EQ(idOf("https://www.youtube.com/embed/youtube-playlist:PL1"), std::nullopt);
  EXPECT_FALSE(YouTubeProvider().resolve("https://youtube.com/x?v=disneyplus:/video/a", {}));
}

TEST(YouTubeProvider, AcceptsSubdomainsAndAnyLetterCaseOfHostAndScheme) {
  EXPECT_EQ(idOf("HTTPS://MUSIC.YouTube.COM/watch?v=abc"), "abc");
  EXPECT_EQ(idOf("https://www.youtu.be/abc"), "abc");
}

TEST(YouTubeProvider, ResolvesAVideoToItsCanonicalWatchURL) {
  YouTubeProvider provider;
  auto media = provider.resolve("https://youtu.be/dQw4w9WgXcQ", 95);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->providerID, "youtube");
  EXPECT_EQ(media->providerName, "YouTube");
  EXPECT_EQ(media->mediaID, "dQw4w9WgXcQ");
  EXPECT_EQ(media->playbackURL.absoluteString(),
            "https://www.youtube.com/watch?v=dQw4w9WgXcQ&t=95");
  EXPECT_EQ(media->defaultTitle, "YouTube Video");
  EXPECT_TRUE(media->canResumeWithURLParameter);
  EXPECT_EQ(provider.resolve("https://youtu.be/abc", 0)->playbackURL.absoluteString(),
            "https://www.youtube.com/watch?v=abc");
}

TEST(YouTubeProvider, AListMakesItAPlaylistThatKeepsTheWholePageURL) {
  YouTubeProvider provider;
  auto media =
      provider.resolve("https://www.youtube.com/watch?v=abc&list=PL123&t=5&index=2&t=9", 95);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->mediaID, "youtube-playlist:PL123");
  EXPECT_EQ(media->defaultTitle, "YouTube Playlist");
  EXPECT_EQ(media->playbackURL.absoluteString(),
            "https://www.youtube.com/watch?v=abc&list=PL123&index=2&t=95");

  auto untouched = provider.resolve(" https://www.youtube.com/playlist?list=PL9&t=5#top \n", 0);
  ASSERT_TRUE(untouched);
  EXPECT_EQ(untouched->playbackURL.absoluteString(),
            "https://www.youtube.com/playlist?list=PL9&t=5#top");

  // The other items keep their encoding as written.
  auto encoded = provider.resolve("https://www.youtube.com/watch?list=PL%2B1&si=a%20b&&t=1", 30);
  EXPECT_EQ(encoded->playbackURL.absoluteString(),
            "https://www.youtube.com/watch?list=PL%2B1&si=a%20b&t=30");
  EXPECT_EQ(encoded->mediaID, "youtube-playlist:PL+1");

  // An empty list value is a plain video link.
  EXPECT_EQ(provider.resolve("https://www.youtube.com/watch?v=abc&list=", {})->mediaID, "abc");
}

TEST(YouTubeProvider, RebuildsURLsAndThumbnailsFromMediaIDs) {
  YouTubeProvider provider;
  EXPECT_EQ(provider.playbackURL("abc", 30)->absoluteString(),
            "https://www.youtube.com/watch?v=abc&t=30");
  EXPECT_EQ(provider.playbackURL("youtube-playlist:PL1", {})->absoluteString(),
            "https://www.youtube.com/playlist?list=PL1");
  EXPECT_EQ(provider.thumbnailURL("abc")->absoluteString(),
            "https://i.ytimg.com/vi/abc/mqdefault.jpg");
  EXPECT_EQ(provider.thumbnailURL("youtube-playlist:PL1"), std::nullopt);
  // An ID with characters a URL cannot hold is encoded, never dropped.
  EXPECT_EQ(provider.playbackURL("a b&c", {})->absoluteString(),
            "https://www.youtube.com/watch?v=a%20b%26c");
}

}  // namespace
}  // namespace orvel
