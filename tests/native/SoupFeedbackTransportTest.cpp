// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupFeedbackTransport.h"

#include <gtest/gtest.h>

#include <chrono>

#include "e2e/LocalWebServer.h"

namespace orvel {
namespace {

// Posts and runs the main loop until the answer comes.
std::optional<std::optional<std::string>> postOnce(SoupFeedbackTransport& transport,
                                                   const std::string& base) {
  auto request = FeedbackMailer::request("re_key", "Subject", "Body", base);
  std::optional<std::optional<std::string>> answer;
  transport.post(*request, [&](std::optional<std::string> failure) { answer = failure; });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!answer && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  return answer;
}

TEST(SoupFeedbackTransport, SuccessRefusalAndTheRequestAsSent) {
  LocalWebServer server;
  server.route("/ok/emails",
               {.contentType = "application/json", .body = R"({"id":"1"})", .extraHeaders = ""});
  server.fail("/denied/emails", "401 Unauthorized");
  SoupFeedbackTransport transport;
  auto sent = postOnce(transport, server.url("/ok"));
  ASSERT_TRUE(sent);
  EXPECT_FALSE(*sent);
  const std::string request = server.lastRequest();
  EXPECT_EQ(request.rfind("POST /ok/emails ", 0), 0u) << request;
  EXPECT_NE(request.find("Authorization: Bearer re_key\r\n"), std::string::npos) << request;
  EXPECT_NE(request.find("\"subject\":\"Subject\""), std::string::npos) << request;

  auto denied = postOnce(transport, server.url("/denied"));
  ASSERT_TRUE(denied);
  EXPECT_EQ(*denied, "Resend returned status 401");
}

TEST(SoupFeedbackTransport, NoServerAndASilentOneAreTransportFailures) {
  SoupFeedbackTransport transport(1);
  auto refused = postOnce(transport, "http://127.0.0.1:9");
  ASSERT_TRUE(refused);
  ASSERT_TRUE(*refused);
  EXPECT_FALSE((*refused)->empty());

  LocalWebServer silent(LocalWebServer::Mode::silent);
  auto timedOut = postOnce(transport, silent.url(""));
  ASSERT_TRUE(timedOut);
  EXPECT_TRUE(*timedOut);
}

TEST(SoupFeedbackTransport, TheStatusAloneCountsHoweverLargeOrSlowTheReply) {
  LocalWebServer server;
  server.route(
      "/large/emails",
      {.contentType = "application/json", .body = std::string(64 << 20, 'x'), .extraHeaders = ""});
  server.route("/slow/emails", {.contentType = "application/json",
                                .body = std::string(4096, 'x'),
                                .extraHeaders = "",
                                .trickle = true});
  SoupFeedbackTransport transport(5);
  for (const char* base : {"/large", "/slow"}) {
    auto sent = postOnce(transport, server.url(base));
    ASSERT_TRUE(sent) << base;
    EXPECT_EQ(*sent, std::nullopt) << base;
  }
}

}  // namespace
}  // namespace orvel
