// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/UpdateCheck.h"

#include <gtest/gtest.h>

namespace orvel {
namespace {

std::string appcast(const std::string& items) {
  return R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
  <channel><title>Orvel player</title>)" +
         items + "</channel></rss>";
}

TEST(UpdateCheck, TheNewestItemOfTheFeedWinsWhateverItsPlace) {
  auto feed = UpdateCheck::parseAppcast(appcast(R"(
    <item><title>1.9</title><sparkle:shortVersionString>1.9.0</sparkle:shortVersionString>
      <sparkle:releaseNotesLink>https://example.com/1.9</sparkle:releaseNotesLink></item>
    <item><title>1.10</title>
      <enclosure url="https://example.com/1.10.tar" sparkle:version="110"
                 sparkle:shortVersionString="1.10.0"/>
      <link> https://example.com/1.10 </link></item>
    <item><title>nightly</title><sparkle:version>nightly</sparkle:version></item>
    <item><sparkle:version>9.0 &lt;b&gt;beta</sparkle:version></item>
    <item><sparkle:version>)" + std::string(10000, '9') +
                                                R"(</sparkle:version></item>)"));
  ASSERT_TRUE(feed) << feed.error();
  EXPECT_EQ(feed->version, "1.10.0");
  EXPECT_EQ(feed->releaseNotesURL, "https://example.com/1.10");

  EXPECT_GT(UpdateCheck::compareVersions("1.10", "1.9"), 0);
  EXPECT_EQ(UpdateCheck::compareVersions("1.2", "1.2.0"), 0);
  EXPECT_LT(UpdateCheck::compareVersions("0.9.99", "1"), 0);
}

TEST(UpdateCheck, BadFeedsSayWhyAndNeverPassForAnAnswer) {
  for (const std::string& bad :
       {std::string("<rss><channel><item>"), std::string("\x89PNG\r\n\x1a\n\xff\xfe", 10),
        appcast(""),
        appcast(
            "<item><sparkle:releaseNotesLink>javascript:x</sparkle:releaseNotesLink></item>")}) {
    auto feed = UpdateCheck::parseAppcast(bad);
    EXPECT_FALSE(feed) << bad;
    const auto outcome = UpdateCheck::judge("1.0.0", feed);
    EXPECT_EQ(outcome.kind, UpdateCheck::Outcome::Kind::failed);
    EXPECT_EQ(outcome.title, "Could not check for updates");
    EXPECT_FALSE(outcome.message.empty());
  }
  // An empty feed and one whose version is no version say which they are.
  EXPECT_EQ(UpdateCheck::parseAppcast(appcast("")).error(), "The update feed lists no release.");
  EXPECT_EQ(
      UpdateCheck::parseAppcast(appcast("<item><sparkle:version>latest</sparkle:version></item>"))
          .error(),
      "The update feed's version could not be read.");
  // A notes link that is not a web page is not offered.
  auto feed = UpdateCheck::parseAppcast(
      appcast("<item><sparkle:version>2</sparkle:version><link>file:///etc/passwd</link></item>"));
  ASSERT_TRUE(feed);
  EXPECT_FALSE(feed->releaseNotesURL);
}

TEST(UpdateCheck, TheVerdictComparesWithTheRunningVersion) {
  const Result<UpdateCheck::Release> newer(UpdateCheck::Release{"1.2.0", "https://example.com"});
  auto outcome = UpdateCheck::judge("1.1.3", newer);
  EXPECT_EQ(outcome.kind, UpdateCheck::Outcome::Kind::newer);
  EXPECT_EQ(outcome.message,
            "Orvel player 1.2.0 is available; you have 1.1.3. Your package manager installs it.");
  EXPECT_EQ(outcome.releaseNotesURL, "https://example.com");
  for (const char* running : {"1.2.0", "1.3"}) {
    outcome = UpdateCheck::judge(running, newer);
    EXPECT_EQ(outcome.kind, UpdateCheck::Outcome::Kind::upToDate);
    EXPECT_EQ(outcome.title, "You’re up to date");
  }
  EXPECT_EQ(UpdateCheck::statusFailure(500), "The update server answered with status 500.");
}

}  // namespace
}  // namespace orvel
