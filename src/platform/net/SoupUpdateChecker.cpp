// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/net/SoupUpdateChecker.h"

#include <string_view>
#include <utility>

namespace orvel {

SoupUpdateChecker::SoupUpdateChecker(std::string feedURL, unsigned timeoutSeconds)
    : fetcher_(timeoutSeconds), feedURL_(std::move(feedURL)) {}

std::string SoupUpdateChecker::defaultFeedURL() {
#ifdef ORVEL_TEST_HOOKS
  if (const char* feed = g_getenv("ORVEL_UPDATE_FEED"); feed && *feed) {
    return feed;
  }
#endif
  return std::string(UpdateCheck::kFeedURL);
}

void SoupUpdateChecker::check(std::string currentVersion, Done done) {
  waiting_.push_back(std::move(done));
  if (waiting_.size() > 1) {
    return;
  }
  fetcher_.get(
      feedURL_, UpdateCheck::kMaxFeedBytes,
      [this, current = std::move(currentVersion)](SoupFetcher::Answer answer) {
        Result<UpdateCheck::Release> feed = Result<UpdateCheck::Release>::failure("");
        if (!answer.body) {
          feed = Result<UpdateCheck::Release>::failure(
              answer.status >= 300 ? UpdateCheck::statusFailure(answer.status)
                                   : UpdateCheck::transportFailure(answer.error));
        } else if (answer.status != SOUP_STATUS_OK) {
          feed = Result<UpdateCheck::Release>::failure(UpdateCheck::statusFailure(answer.status));
        } else {
          gsize size = 0;
          const auto* data = static_cast<const char*>(g_bytes_get_data(answer.body.get(), &size));
          feed = UpdateCheck::parseAppcast(std::string_view(data, size));
        }
        const UpdateCheck::Outcome outcome = UpdateCheck::judge(current, feed);
        for (const Done& waiting : std::exchange(waiting_, {})) {
          waiting(outcome);
        }
      });
}

}  // namespace orvel
