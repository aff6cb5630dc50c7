// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Feedback.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

// Holds each request until the test answers it.
class HeldTransport final : public FeedbackTransport {
 public:
  void post(const FeedbackMailer::Request& request, Done done) override {
    requests.push_back(request);
    pending = std::move(done);
  }
  void answer(std::optional<std::string> failure) { std::exchange(pending, nullptr)(failure); }

  std::vector<FeedbackMailer::Request> requests;
  Done pending;
};

struct Rig {
  std::string readLog() const {
    std::stringstream text;
    text << std::ifstream(folder.file("feedback.log")).rdbuf();
    return text.str();
  }

  TemporaryFolder folder;
  std::string key = "re_secret_key";
  HeldTransport transport;
  FeedbackForm form{{.apiKey = [this] { return key; },
                     .transport = transport,
                     .localCopyPath = [this] { return std::optional(folder.file("feedback.log")); },
                     .clock = [] { return Date::fromUnixTime(1796659200); },
                     .apiBase = "https://mail.example"}};
};

TEST(Feedback, WhenTheFormCanSend) {
  Rig rig;
  EXPECT_EQ(rig.form.kind, FeedbackKind::written);
  EXPECT_FALSE(rig.form.canSend());
  rig.form.message = " \n\t ";
  EXPECT_FALSE(rig.form.canSend());
  rig.form.message = "Hello";
  EXPECT_TRUE(rig.form.canSend());
  rig.key.clear();
  EXPECT_FALSE(rig.form.canSend());
  rig.key = " ";
  EXPECT_TRUE(rig.form.canSend());

  rig.form.kind = FeedbackKind::survey;
  EXPECT_FALSE(rig.form.canSend());
  rig.form.rating = 4;
  rig.form.message.clear();
  EXPECT_TRUE(rig.form.canSend());
  rig.form.send();
  EXPECT_FALSE(rig.form.canSend());
  EXPECT_EQ(feedbackKindLabel(allFeedbackKinds().front()), "Survey");
  EXPECT_EQ(feedbackKindLabel(FeedbackKind::written), "Written Message");
}

TEST(Feedback, ARequestCarriesTheKeyTheAddressesAndTheMessage) {
  auto request = FeedbackMailer::request("re_abc", "", "Body\nline", "https://mail.example");
  ASSERT_TRUE(request);
  EXPECT_EQ(request->url, "https://mail.example/emails");
  EXPECT_EQ(request->headers,
            (std::vector<std::pair<std::string, std::string>>{
                {"Authorization", "Bearer re_abc"}, {"Content-Type", "application/json"}}));
  const auto json = nlohmann::json::parse(request->body);
  EXPECT_EQ(json["subject"], "Orvel player Feedback");
  EXPECT_EQ(json["text"], "Body\nline");
  EXPECT_EQ(json["from"], "Orvel player Feedback <" + std::string(FeedbackMailer::kSender) + ">");
  EXPECT_EQ(json["to"], nlohmann::json::array({std::string(FeedbackMailer::kRecipient)}));
  // A key with a line break would end the header early: refused, and said so.
  EXPECT_FALSE(FeedbackMailer::request("re_abc\r\nX-Evil: 1", "s", "b"));
}

TEST(Feedback, EachSendIsLoggedFirstWithoutTheKeyAndTheFormFollowsTheAnswer) {
  Rig rig;
  rig.form.message = "It works";
  rig.form.send();
  ASSERT_EQ(rig.transport.requests.size(), 1u);
  EXPECT_TRUE(rig.form.isSending());
  // Written before the answer: an attempt that fails is in the log too.
  const std::string first = rig.readLog();
  struct stat status {};
  ASSERT_EQ(::stat(rig.folder.file("feedback.log").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u) << "the log is the user's alone";
  EXPECT_EQ(first.rfind("2026-12-07T16:00:00Z — (no subject)\nIt works\n---\n", 0), 0u) << first;
  rig.transport.answer(FeedbackMailer::statusFailure(401));
  EXPECT_FALSE(rig.form.isSending());
  EXPECT_EQ(rig.form.statusMessage(), "Failed to send: Resend returned status 401");
  EXPECT_EQ(rig.form.message, "It works");

  rig.form.kind = FeedbackKind::survey;
  rig.form.rating = 4;
  rig.form.message.clear();
  rig.form.send();
  const auto json = nlohmann::json::parse(rig.transport.requests.back().body);
  EXPECT_EQ(json["subject"], "Survey (4/5 stars)");
  EXPECT_EQ(json["text"], "Rating: 4/5\n\n");
  rig.transport.answer(std::nullopt);
  EXPECT_EQ(rig.form.statusMessage(), "Feedback sent. Thank you!");
  EXPECT_EQ(rig.form.rating, 0);
  EXPECT_EQ(rig.form.kind, FeedbackKind::survey);

  const std::string log = rig.readLog();
  EXPECT_NE(log.find("— Survey (4/5 stars)\nRating: 4/5\n\n\n---\n"), std::string::npos) << log;
  EXPECT_EQ(log.find(rig.key), std::string::npos);

  // A log that cannot be written does not stop the send.
  FeedbackForm unlogged{{.apiKey = [] { return std::string("k"); },
                         .transport = rig.transport,
                         .localCopyPath = [] { return std::optional<std::string>("/proc/nope/x"); },
                         .clock = [] { return Date{}; }}};
  unlogged.message = "still sent";
  unlogged.send();
  EXPECT_EQ(rig.transport.requests.size(), 3u);
}

}  // namespace
}  // namespace orvel
