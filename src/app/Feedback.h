// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Date.h"
#include "core/Result.h"

namespace orvel {

enum class FeedbackKind { survey, written };

// The kinds in the order the form offers them, with their labels.
const std::vector<FeedbackKind>& allFeedbackKinds();
std::string_view feedbackKindLabel(FeedbackKind kind);

// The e-mail to the developer through the Resend API, and its local copy.
namespace FeedbackMailer {

inline constexpr std::string_view kAPIBase = "https://api.resend.com";
inline constexpr std::string_view kSender = "feedback@orvel-player.example.com";
inline constexpr std::string_view kRecipient = "developer@orvel-player.example.com";
inline constexpr unsigned kTimeoutSeconds = 60;

struct Request {
  std::string url;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

// The request for one message; refused when the key cannot go in a header (it holds a line
// break or another control character).
Result<Request> request(std::string_view apiKey, std::string_view subject, std::string_view body,
                        std::string_view apiBase = kAPIBase);

// "2026-12-07T20:15:00Z — Subject\nbody\n---\n"
std::string logEntry(Date when, std::string_view subject, std::string_view body);
// $XDG_DATA_HOME/Wendle/feedback.log, its folder made when missing; none without a data folder.
std::optional<std::string> localCopyPath();
// Appends the entry; false when it could not be written (nothing else is told).
bool saveLocalCopy(const std::string& path, std::string_view entry);

std::string statusFailure(unsigned status);

}  // namespace FeedbackMailer

// Sends a request and tells how it went: none for success, else the failure's text.
class FeedbackTransport {
 public:
  using Done = std::function<void(std::optional<std::string> failure)>;
  virtual ~FeedbackTransport() = default;
  virtual void post(const FeedbackMailer::Request& request, Done done) = 0;
};

// The feedback window's form: what it holds, when it can send, and what a send does.
class FeedbackForm {
 public:
  struct Dependencies {
    std::function<std::string()> apiKey;
    FeedbackTransport& transport;
    // Where the local copy goes; none when there is no place for it.
    std::function<std::optional<std::string>()> localCopyPath;
    std::function<Date()> clock;
    std::string apiBase = std::string(FeedbackMailer::kAPIBase);
  };

  explicit FeedbackForm(Dependencies dependencies);
  ~FeedbackForm();
  FeedbackForm(const FeedbackForm&) = delete;
  FeedbackForm& operator=(const FeedbackForm&) = delete;

  FeedbackKind kind = FeedbackKind::written;
  std::string subject;
  std::string message;
  int rating = 0;

  bool isSending() const { return isSending_; }
  const std::optional<std::string>& statusMessage() const { return statusMessage_; }
  bool canSend() const;
  // The subject and body a send mails for the form as it stands.
  std::pair<std::string, std::string> outgoing() const;
  // Logs the message, then mails it; `changed` is called when the answer has come.
  void send(std::function<void()> changed = {});

 private:
  void finished(const std::optional<std::string>& failure);

  Dependencies deps_;
  bool isSending_ = false;
  std::optional<std::string> statusMessage_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel
