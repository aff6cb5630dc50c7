#pragma once

#include <gio/gio.h>
#include <libsoup/soup.h>

#include "app/Feedback.h"

namespace orvel {

// Posts the feedback e-mail over libsoup. A status of 200–299 is success; any other status, or
// a transport failure (no answer within the timeout included), is a failure with its text.
// Requests still running when it goes are cancelled and never answered.
class SoupFeedbackTransport final : public FeedbackTransport {
 public:
  explicit SoupFeedbackTransport(unsigned timeoutSeconds = FeedbackMailer::kTimeoutSeconds);
  ~SoupFeedbackTransport() override;
  SoupFeedbackTransport(const SoupFeedbackTransport&) = delete;
  SoupFeedbackTransport& operator=(const SoupFeedbackTransport&) = delete;

  void post(const FeedbackMailer::Request& request, Done done) override;

 private:
  SoupSession* session_;
  GCancellable* cancellable_;
};

}  // namespace orvel
