#include <gtest/gtest.h>

#include "media/LinkDetector.h"

namespace orvel {
namespace {

std::optional<std::string> link(std::string_view text) {
  return LinkDetector::firstLink(text);
}

TEST(LinkDetector, FindsTheFirstLinkOfEachKind) {
  EXPECT_EQ(link("see https://youtu.be/abc now"), "https://youtu.be/abc");
  EXPECT_EQ(link("first http://a.example/1 then https://b.example/2"), "http://a.example/1");
  EXPECT_EQ(link("try www.youtube.com/watch?v=abc"), "https://www.youtube.com/watch?v=abc");
  EXPECT_EQ(link("try youtu.be/abc"), "https://youtu.be/abc");
  EXPECT_EQ(link("disneyplus.com"), "https://disneyplus.com");
}

TEST(LinkDetector, LeavesOutTrailingPunctuationAndUnbalancedBrackets) {
  EXPECT_EQ(link("(see https://youtu.be/abc)."), "https://youtu.be/abc");
  EXPECT_EQ(link("it is at https://en.example.org/wiki/A_(film)!"),
            "https://en.example.org/wiki/A_(film)");
  EXPECT_EQ(link("\"https://youtu.be/abc\","), "https://youtu.be/abc");
}

TEST(LinkDetector, IgnoresWhatOnlyLooksLikeALink) {
  EXPECT_EQ(link("no links here"), std::nullopt);
  EXPECT_EQ(link("version 1.5 e.g. this"), std::nullopt);
  EXPECT_EQ(link("write to me@example.com"), std::nullopt);
  EXPECT_EQ(link("open notes.txt and then youtu.be/abc"), "https://youtu.be/abc");
  EXPECT_EQ(link("broken ://nothing"), std::nullopt);
  EXPECT_EQ(link("file:///home/a.mkv"), std::nullopt);
}

}  // namespace
}  // namespace orvel
