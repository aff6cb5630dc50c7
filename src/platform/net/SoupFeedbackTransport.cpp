// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupFeedbackTransport.h"

#include <string>
#include <utility>

#include "core/Translation.h"

namespace orvel {

SoupFeedbackTransport::SoupFeedbackTransport(unsigned timeoutSeconds) : fetcher_(timeoutSeconds) {}

void SoupFeedbackTransport::post(const FeedbackMailer::Request& request, Done done) {
  SoupMessage* message = soup_message_new("POST", request.url.c_str());
  if (!message) {
    done(formatted(_("Not a web address: %s"), {request.url}));
    return;
  }
  SoupMessageHeaders* headers = soup_message_get_request_headers(message);
  for (const auto& [name, value] : request.headers) {
    soup_message_headers_replace(headers, name.c_str(), value.c_str());
  }
  GBytes* body = g_bytes_new(request.body.data(), request.body.size());
  soup_message_set_request_body_from_bytes(message, "application/json", body);
  g_bytes_unref(body);
  // Only the status tells whether the mail went: the reply's body is never read, however large.
  fetcher_.send(message, 0, [done = std::move(done)](SoupFetcher::Answer answer) {
    if (!answer.body) {
      done(answer.error);
    } else if (answer.status >= 200 && answer.status < 300) {
      done(std::nullopt);
    } else {
      done(FeedbackMailer::statusFailure(answer.status));
    }
  });
}

}  // namespace orvel
