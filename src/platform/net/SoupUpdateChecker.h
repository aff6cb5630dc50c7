// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/UpdateCheck.h"
#include "platform/net/SoupFetcher.h"

namespace orvel {

// Reads the appcast feed over HTTPS and tells what it says. A check asked for while one runs
// gets the same answer.
class SoupUpdateChecker {
 public:
  using Done = std::function<void(const UpdateCheck::Outcome&)>;

  explicit SoupUpdateChecker(std::string feedURL = defaultFeedURL(),
                             unsigned timeoutSeconds = UpdateCheck::kTimeoutSeconds);

  void check(std::string currentVersion, Done done);

  // The program's feed; test builds take $ORVEL_UPDATE_FEED instead when it is set.
  static std::string defaultFeedURL();

 private:
  SoupFetcher fetcher_;
  std::string feedURL_;
  std::vector<Done> waiting_;
};

}  // namespace orvel
