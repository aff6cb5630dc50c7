// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/SourceRecovery.h"

#include "core/Log.h"
#include "core/Translation.h"
#include "core/Url.h"

namespace orvel {

void SourceRecovery::reportSourceFailure(const std::string& source, const std::string& message) {
  if (failedSourceURL_ == source) {
    return;
  }
  failedSourceURL_ = source;
  logLine("Player", "Unable to read video " + source + ": " + message);
  std::string name = host_.currentTitle();
  if (auto url = Url::parse(source); url && url->isFileURL()) {
    name = url->lastPathComponent();
  } else if (source.starts_with("file:")) {
    name = _("Video");
  }
  sourceErrorMessage_ = name + "\n\n" + message;
  showsSourceError_ = true;
  host_.stopWithMessage(message);
  host_.changed();
  host_.dialogs.showAlert(Alert{.style = Alert::Style::warning,
                                .title = _(kUnreadableTitle),
                                .message = sourceErrorMessage_,
                                .buttons = {_("Retry"), _("Cancel")},
                                .destructiveButton = {}},
                          lifetime_.guard([this](std::size_t button) {
                            showsSourceError_ = false;
                            if (host_.alertClosed) {
                              host_.alertClosed();
                            }
                            if (button == 0) {
                              retryFailedSource();
                            }
                            host_.changed();
                          }));
  passOverIfAdvancedTo(source);
}

// An item the queue went on to by itself is passed over after a moment (when the queue says it
// may), unless the user answered the alert or something else played meanwhile.
void SourceRecovery::passOverIfAdvancedTo(const std::string& source) {
  const auto item = host_.playQueue.itemID();
  if (!host_.playQueue.mayPassOverUnreadableItem()) {
    return;
  }
  passOverTask_ = host_.queue.postDelayed(kFailedItemWait, lifetime_.guard([this, source, item] {
    if (failedSourceURL_ != source || host_.playQueue.itemID() != item || !showsSourceError_) {
      return;
    }
    logLine("Player", "Passing over the unreadable item " + source);
    host_.dialogs.dismissAlert(_(kUnreadableTitle));
    host_.advancePlaylist();
  }));
}

void SourceRecovery::retryFailedSource() {
  if (!failedSourceURL_) {
    return;
  }
  auto media = host_.registry.resolve(*failedSourceURL_);
  if (!media) {
    return;
  }
  const bool wasCurrent = failedSourceURL_ == host_.currentSource();
  failedSourceURL_.reset();
  // The user answered: a pass-over waiting for the alert no longer applies.
  passOverTask_.cancel();
  host_.retry(*media, wasCurrent);
}

bool SourceRecovery::startLoading(const std::string& source) {
  const bool isRetry = failedSourceURL_ == source;
  failedSourceURL_.reset();
  showsSourceError_ = false;
  return isRetry;
}

}  // namespace orvel
