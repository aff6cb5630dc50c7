#pragma once

#include <string>

namespace orvel {

class PlayerSession;

// A source that cannot be read: playback stops, the window turns solid, and the "Unable to read
// video" alert offers a retry at the stored position. A source that fails again while failed
// changes nothing. Works on the session's state.
class SourceRecovery {
 public:
  explicit SourceRecovery(PlayerSession& session) : session_(session) {}

  void reportSourceFailure(const std::string& sourceURL, const std::string& message);
  void retryFailedSource();

 private:
  PlayerSession& session_;
};

}  // namespace orvel
