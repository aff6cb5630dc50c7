// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "media/StreamingProviderRegistry.h"
#include "media/URLHelper.h"

namespace orvel {
namespace {

std::optional<std::string> normalized(std::string_view text) {
  return StreamingProviderRegistry::normalizedInput(text);
}

const StreamingProviderRegistry& registry() {
  return StreamingProviderRegistry::shared();
}

TEST(StreamingProviderRegistry, HoldsTheFiveProvidersInOrder) {
  std::vector<std::string> ids;
  for (const auto& provider : registry().providers()) {
    ids.push_back(provider->id());
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"youtube", "disneyplus", "mp4", "webm", "mkv"}));
}

TEST(StreamingProviderRegistry, NormalisesPastedTextRuleByRule) {
  EXPECT_EQ(normalized("  \n\t "), std::nullopt);
  // A bare host name gets a scheme.
  EXPECT_EQ(normalized(" www.youtube.com/watch?v=abc \n"), "https://www.youtube.com/watch?v=abc");
  EXPECT_EQ(normalized("youtu.be:8080/abc"), "https://youtu.be:8080/abc");
  // Wrapping punctuation goes.
  EXPECT_EQ(normalized("<https://youtu.be/abc>."), "https://youtu.be/abc");
  EXPECT_EQ(normalized("(\"https://youtu.be/abc\"),;"), "https://youtu.be/abc");
  // A link pasted percent-encoded is decoded.
  EXPECT_EQ(normalized("https%3A%2F%2Fyoutu.be%2Fabc"), "https://youtu.be/abc");
  // A link inside a sentence is found.
  EXPECT_EQ(normalized("look at https://youtu.be/abc, it is great"), "https://youtu.be/abc");
  EXPECT_EQ(normalized("watch youtube.com/watch?v=abc now"), "https://youtube.com/watch?v=abc");
  // Text without a link, a bare ID and a path without a scheme are left to the providers.
  EXPECT_EQ(normalized("dQw4w9WgXcQ"), std::nullopt);
  EXPECT_EQ(normalized("/home/me/film.mkv"), std::nullopt);
  EXPECT_EQ(normalized("just some words"), std::nullopt);
}

TEST(StreamingProviderRegistry, TheBareHostRuleNeedsItsWholeLineToMatch) {
  // Rule order: a host-name line wins before the unwrapping rule would.
  EXPECT_EQ(normalized("clip.webm"), "https://clip.webm");
  // A newline inside the path keeps the host rule from matching; the link detector takes over.
  EXPECT_EQ(normalized("youtube.com/watch?v=abc\nsecond line"), "https://youtube.com/watch?v=abc");
  EXPECT_EQ(normalized("1.5"), std::nullopt);
}

TEST(StreamingProviderRegistry, ResolvesWithTheFirstProviderThatAccepts) {
  auto video = registry().resolve("youtube.com/watch?v=dQw4w9WgXcQ");
  ASSERT_TRUE(video);
  EXPECT_EQ(video->mediaID, "dQw4w9WgXcQ");

  // A YouTube link that looks like a file is still YouTube.
  auto tricky = registry().resolve("https://www.youtube.com/watch/clip.mp4?v=abc");
  ASSERT_TRUE(tricky);
  EXPECT_EQ(tricky->providerID, "youtube");

  auto file = registry().resolve("file:///tmp/a%20b.mkv");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->providerID, "mkv");

  // A link with accented letters resolves whole, never cut short.
  auto accented = registry().resolve("regarde https://www.disneyplus.com/fr-fr/vid\xC3\xA9o/x !");
  ASSERT_TRUE(accented);
  EXPECT_EQ(accented->mediaID, "disneyplus:/fr-fr/vid%C3%A9o/x");
  auto localFile = registry().resolve("file:///home/me/Vid\xC3\xA9os/a.mkv");
  ASSERT_TRUE(localFile);
  EXPECT_EQ(localFile->mediaID, "mkv:file:///home/me/Vid%C3%A9os/a.mkv");
  EXPECT_EQ(localFile->defaultTitle, "a");

  EXPECT_FALSE(registry().resolve("clip.webm"));
  EXPECT_FALSE(registry().resolve("dQw4w9WgXcQ"));
  EXPECT_FALSE(registry().resolve("https://example.com/page.html"));
}

TEST(StreamingProviderRegistry, SurvivesHostileInput) {
  std::string huge(1 << 20, 'a');
  EXPECT_FALSE(registry().resolve(huge));
  // A link longer than any the player plays is refused unread; one just short of it is read.
  const std::string link = "https://youtu.be/";
  EXPECT_FALSE(registry().resolve(link + std::string(1 << 20, 'b')));
  auto media = registry().resolve(
      link + std::string(StreamingProviderRegistry::kLongestLinkText - link.size(), 'b'));
  ASSERT_TRUE(media);
  EXPECT_EQ(media->mediaID.size(), StreamingProviderRegistry::kLongestLinkText - link.size());
  std::string repeated;
  for (int index = 0; index < 100000; ++index) {
    repeated += "x://";
  }
  EXPECT_FALSE(registry().resolve(repeated));
  // A control character ends the link it follows.
  EXPECT_EQ(registry().resolve(std::string("https://youtu.be/a\0b", 19))->mediaID, "a");
  EXPECT_FALSE(registry().resolve("https://you\x01tu.be/abc\x7f"));
  EXPECT_FALSE(registry().resolve("\xff\xfe https://youtu.be/\xc3"));
  EXPECT_FALSE(registry().resolve("%%%%%zz"));
}

TEST(StreamingProviderRegistry, FindsTheProviderOfAStoredMediaID) {
  auto idOf = [](std::string_view mediaID) {
    const StreamingProvider* provider = registry().provider(mediaID);
    return provider ? provider->id() : "none";
  };
  EXPECT_EQ(idOf("mkv:file:///a.mkv"), "mkv");
  EXPECT_EQ(idOf("webm:https://a/b.webm"), "webm");
  EXPECT_EQ(idOf("mp4:https://a/b.mp4"), "mp4");
  EXPECT_EQ(idOf("disneyplus:/video/x"), "disneyplus");
  EXPECT_EQ(idOf("youtube-playlist:PL1"), "youtube");
  EXPECT_EQ(idOf("dQw4w9WgXcQ"), "youtube");

  StreamingProviderRegistry empty({});
  EXPECT_EQ(empty.provider("abc"), nullptr);
}

TEST(URLHelper, RebuildsWatchURLsAndFallsBackToAPlainWatchLink) {
  EXPECT_EQ(URLHelper::makeWatchURL("dQw4w9WgXcQ", 30),
            "https://www.youtube.com/watch?v=dQw4w9WgXcQ&t=30");
  EXPECT_EQ(URLHelper::makeWatchURL("youtube-playlist:PL1", {}),
            "https://www.youtube.com/playlist?list=PL1");
  EXPECT_EQ(URLHelper::makeWatchURL("mkv:file:///a/b.mkv", 30), "file:///a/b.mkv");
  // A stored ID that no longer rebuilds still gives a link.
  EXPECT_EQ(URLHelper::makeWatchURL("disneyplus:nopath", 30),
            "https://www.youtube.com/watch?v=disneyplus:nopath");
}

}  // namespace
}  // namespace orvel
