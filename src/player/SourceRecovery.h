// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace orvel {

class PlayerSession;

// A source that cannot be read: playback stops, the window turns solid, and the "Unable to read
// video" alert offers a retry at the stored position. A source that fails again while failed
// changes nothing. When the queue went on to it by itself, the queue goes on again after a
// moment. Works on the session's state.
class SourceRecovery {
 public:
  static constexpr const char* kUnreadableTitle = "Unable to read video";

  explicit SourceRecovery(PlayerSession& session) : session_(session) {}

  void reportSourceFailure(const std::string& sourceURL, const std::string& message);
  void retryFailedSource();

 private:
  void passOverIfAdvancedTo(const std::string& source);

  PlayerSession& session_;
};

}  // namespace orvel
