// SPDX-License-Identifier: GPL-3.0-or-later

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

TEST(LinkDetector, TakesLettersBeyondASCIIIntoTheLinkButNotSpacesOrQuotes) {
  EXPECT_EQ(link("voir https://www.disneyplus.com/fr-fr/vid\xC3\xA9o/x, merci"),
            "https://www.disneyplus.com/fr-fr/vid%C3%A9o/x");
  EXPECT_EQ(link("\xE2\x80\x9Chttps://youtu.be/abc\xE2\x80\x9D"), "https://youtu.be/abc");
  EXPECT_EQ(link("https://youtu.be/abc\xE3\x80\x82next"), "https://youtu.be/abc");
  EXPECT_EQ(link("https://youtu.be/abc\xC2\xA0"
                 "after"),
            "https://youtu.be/abc");
}

// Pasted text can be a megabyte of anything; every shape must stay linear.
TEST(LinkDetector, ReadsHostileTextInLinearTime) {
  const std::size_t size = 1 << 20;
  std::string closers = "https://a.example/" + std::string(size, ')');
  EXPECT_EQ(link(closers), "https://a.example/");
  std::string failingDomains;
  while (failingDomains.size() < size) {
    failingDomains += "a.co:x/(";
  }
  EXPECT_EQ(link(failingDomains), std::nullopt);
  std::string failingSchemes;
  while (failingSchemes.size() < size) {
    failingSchemes += "x:// ";
  }
  EXPECT_EQ(link(failingSchemes), std::nullopt);
  std::string hosts;
  while (hosts.size() < size) {
    hosts += "a.b.";
  }
  EXPECT_EQ(link(hosts), std::nullopt);
}

}  // namespace
}  // namespace orvel
