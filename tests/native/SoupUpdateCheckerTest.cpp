// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupUpdateChecker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "e2e/LocalWebServer.h"

namespace orvel {
namespace {

// Runs the main loop until the answer comes, or gives up.
std::optional<UpdateCheck::Outcome> checkOnce(SoupUpdateChecker& checker,
                                              const std::string& current = "1.0.0") {
  std::optional<UpdateCheck::Outcome> answer;
  checker.check(current, [&](const UpdateCheck::Outcome& outcome) { answer = outcome; });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!answer && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  return answer;
}

TEST(SoupUpdateChecker, NewerSameMalformedAndAFailingServer) {
  LocalWebServer server;
  const std::string feed =
      R"(<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel>)"
      R"(<item><sparkle:shortVersionString>1.4.0</sparkle:shortVersionString>)"
      R"(<sparkle:releaseNotesLink>https://example.com/notes</sparkle:releaseNotesLink>)"
      R"(</item></channel></rss>)";
  server.route("/appcast.xml",
               {.contentType = "application/rss+xml", .body = feed, .extraHeaders = ""});
  server.route("/broken.xml",
               {.contentType = "application/rss+xml", .body = "<rss><chan", .extraHeaders = ""});
  server.fail("/down.xml", "500 Internal Server Error");

  SoupUpdateChecker checker(server.url("/appcast.xml"));
  auto newer = checkOnce(checker);
  ASSERT_TRUE(newer);
  EXPECT_EQ(newer->kind, UpdateCheck::Outcome::Kind::newer) << newer->message;
  EXPECT_EQ(newer->releaseNotesURL, "https://example.com/notes");
  auto same = checkOnce(checker, "1.4.0");
  ASSERT_TRUE(same);
  EXPECT_EQ(same->kind, UpdateCheck::Outcome::Kind::upToDate);

  SoupUpdateChecker broken(server.url("/broken.xml"));
  auto malformed = checkOnce(broken);
  ASSERT_TRUE(malformed);
  EXPECT_EQ(malformed->kind, UpdateCheck::Outcome::Kind::failed);
  EXPECT_EQ(malformed->message.rfind("The update feed could not be read: ", 0), 0u)
      << malformed->message;

  SoupUpdateChecker down(server.url("/down.xml"));
  auto failed = checkOnce(down);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->message, "The update server answered with status 500.");
}

TEST(SoupUpdateChecker, AServerThatNeverAnswersOrTricklesTimesOut) {
  LocalWebServer silent(LocalWebServer::Mode::silent);
  SoupUpdateChecker checker(silent.url("/appcast.xml"), 1);
  auto outcome = checkOnce(checker);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->kind, UpdateCheck::Outcome::Kind::failed);
  EXPECT_EQ(outcome->message.rfind("The update server could not be reached: ", 0), 0u)
      << outcome->message;

  // A byte every 200 ms never lets the connection idle; the whole answer has a deadline, and a
  // second click while the first waits is answered with it.
  LocalWebServer trickling;
  trickling.route("/appcast.xml", {.contentType = "application/rss+xml",
                                   .body = std::string(4096, ' '),
                                   .extraHeaders = "",
                                   .trickle = true});
  SoupUpdateChecker slow(trickling.url("/appcast.xml"), 2);
  std::optional<UpdateCheck::Outcome> first;
  slow.check("1.0.0", [&](const UpdateCheck::Outcome& answer) { first = answer; });
  auto second = checkOnce(slow);
  ASSERT_TRUE(second);
  ASSERT_TRUE(first);
  EXPECT_EQ(second->message,
            "The update server could not be reached: The whole answer did not come within 2 "
            "seconds.");
  EXPECT_EQ(first->message, second->message);
}

}  // namespace
}  // namespace orvel
