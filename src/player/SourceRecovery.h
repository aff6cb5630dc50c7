// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/Cancellable.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/Translation.h"
#include "media/StreamingMedia.h"
#include "media/StreamingProviderRegistry.h"
#include "player/PlayQueue.h"
#include "player/PlayerDialogs.h"

namespace orvel {

// A source that cannot be read: playback stops, the window turns solid, and the "Unable to read
// video" alert offers a retry at the stored position. A source that fails again while failed
// changes nothing. When the queue went on to it by itself, the queue goes on again after a
// moment. Owns the failed source and its alert; reaches playback through its host.
class SourceRecovery {
 public:
  static constexpr const char* kUnreadableTitle = N_("Unable to read video");
  // An item the queue went on to by itself that cannot be read is passed over after this long,
  // its alert closed, so that a queue played unattended goes on.
  static constexpr double kFailedItemWait = 5.0;

  struct Host {
    MainQueue& queue;
    PlayerDialogs& dialogs;
    const StreamingProviderRegistry& registry;
    PlayQueue& playQueue;
    // What the player has now.
    std::function<const std::string&()> currentTitle;
    std::function<const std::optional<std::string>&()> currentSource;
    // Stops playback where it stands (its place kept), shows the message in the status line and
    // turns the window solid.
    std::function<void(const std::string& message)> stopWithMessage;
    // Loads the media again at its stored place; `wasCurrent` when it is the one that failed.
    std::function<void(const StreamingMedia& media, bool wasCurrent)> retry;
    std::function<void()> advancePlaylist;
    // The alert closed, by either button or by being passed over.
    std::function<void()> alertClosed;
    std::function<void()> changed;
  };

  explicit SourceRecovery(Host host) : host_(std::move(host)) {}

  void reportSourceFailure(const std::string& sourceURL, const std::string& message);
  void retryFailedSource();
  // New media is loading from this source: a failure before it is over. True when it is the
  // failed source tried again.
  bool startLoading(const std::string& sourceURL);

  const std::optional<std::string>& failedSourceURL() const { return failedSourceURL_; }
  bool showsSourceError() const { return showsSourceError_; }
  const std::string& sourceErrorMessage() const { return sourceErrorMessage_; }

 private:
  void passOverIfAdvancedTo(const std::string& source);

  Host host_;
  std::optional<std::string> failedSourceURL_;
  bool showsSourceError_ = false;
  std::string sourceErrorMessage_;
  TaskHandle passOverTask_;
  Lifetime lifetime_;
};

}  // namespace orvel
