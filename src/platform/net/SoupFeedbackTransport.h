// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/Feedback.h"
#include "platform/net/SoupFetcher.h"

namespace orvel {

// Posts the feedback e-mail over libsoup. A status of 200–299 is success; any other status, or
// a transport failure (no answer within the timeout included), is a failure with its text. Requests
// still running when it goes are cancelled and never answered.
class SoupFeedbackTransport final : public FeedbackTransport {
 public:
  explicit SoupFeedbackTransport(unsigned timeoutSeconds = FeedbackMailer::kTimeoutSeconds);

  void post(const FeedbackMailer::Request& request, Done done) override;

 private:
  SoupFetcher fetcher_;
};

}  // namespace orvel
