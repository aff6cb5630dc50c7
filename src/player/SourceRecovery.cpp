// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/SourceRecovery.h"

#include "core/Log.h"
#include "core/Url.h"
#include "player/PlayerSession.h"
#include "playlist/PlaylistRepeat.h"

namespace orvel {

void SourceRecovery::reportSourceFailure(const std::string& source, const std::string& message) {
  if (session_.failedSourceURL_ == source) {
    return;
  }
  session_.failedSourceURL_ = source;
  logLine("Player", "Unable to read video " + source + ": " + message);
  std::string name = session_.currentVideoTitle_;
  if (auto url = Url::parse(source); url && url->isFileURL()) {
    name = url->lastPathComponent();
  } else if (source.starts_with("file:")) {
    name = "Video";
  }
  session_.sourceErrorMessage_ = name + "\n\n" + message;
  session_.pauseAndPersistCurrentPlayback();
  session_.deps_.native.stop();
  session_.playerState_ = -1;
  session_.statusClearTask_.cancel();
  ++session_.statusMessageToken_;
  session_.statusMessage_ = message;
  session_.showsSourceError_ = true;
  if (session_.windowHooks_.makeWindowSolid) {
    session_.windowHooks_.makeWindowSolid();
  }
  session_.changed();
  session_.deps_.dialogs.showAlert(Alert{.style = Alert::Style::warning,
                                         .title = kUnreadableTitle,
                                         .message = session_.sourceErrorMessage_,
                                         .buttons = {"Retry", "Cancel"},
                                         .destructiveButton = {}},
                                   session_.lifetime_.guard([this](std::size_t button) {
                                     session_.showsSourceError_ = false;
                                     if (button == 0) {
                                       retryFailedSource();
                                     }
                                     session_.changed();
                                   }));
  passOverIfAdvancedTo(source);
}

// An item the queue went on to by itself is passed over after a moment, unless the user answered
// the alert meanwhile, the queue repeats this one item, or every item of the queue failed in
// turn.
void SourceRecovery::passOverIfAdvancedTo(const std::string& source) {
  const auto item = session_.playlistItemID_;
  if (!item || session_.advancedToItemID_ != item ||
      storedPlaylistRepeat(session_.deps_.defaults) == PlaylistRepeat::one ||
      ++session_.unreadableAdvances_ >= session_.queue_.items().size()) {
    return;
  }
  session_.passOverTask_ = session_.deps_.queue.postDelayed(
      PlayerSession::kFailedItemWait, session_.lifetime_.guard([this, source, item] {
        if (session_.failedSourceURL_ != source || session_.playlistItemID_ != item ||
            !session_.showsSourceError_) {
          return;
        }
        logLine("Player", "Passing over the unreadable item " + source);
        session_.deps_.dialogs.dismissAlert(kUnreadableTitle);
        session_.advancePlaylist();
      }));
}

void SourceRecovery::retryFailedSource() {
  if (!session_.failedSourceURL_) {
    return;
  }
  auto media = session_.deps_.registry.resolve(*session_.failedSourceURL_);
  if (!media) {
    return;
  }
  const bool wasCurrent = session_.failedSourceURL_ == session_.currentSourceURL_;
  session_.failedSourceURL_.reset();
  if (wasCurrent) {
    session_.playerState_ = -1;
  }
  auto stored = session_.playbackPositions_.find(media->mediaID);
  session_.loadMedia(*media, stored == session_.playbackPositions_.end() ? 0 : stored->second,
                     true);
}

}  // namespace orvel
