// SPDX-License-Identifier: GPL-3.0-or-later

// Where each video stopped and what the history says of it: positions are kept by media ID and
// written through to the store, with the last link opened, the recent list and the notices and
// status messages about them.

#include <cmath>
#include <filesystem>

#include "core/Text.h"
#include "core/Url.h"
#include "media/URLHelper.h"
#include "player/PlayerSession.h"

namespace orvel {
namespace {

// The file name of a media ID of the form "<kind>:file:///...", if it is one.
std::optional<std::string> fileNameOfMediaID(const std::string& mediaID) {
  auto colon = mediaID.find(':');
  if (colon == std::string::npos) {
    return std::nullopt;
  }
  auto url = Url::parse(std::string_view(mediaID).substr(colon + 1));
  if (!url || !url->isFileURL()) {
    return std::nullopt;
  }
  return url->lastPathComponent();
}

}  // namespace

std::optional<double> PlayerSession::savedPosition(const std::string& videoID) const {
  if (auto found = playbackPositions_.find(videoID); found != playbackPositions_.end()) {
    return found->second;
  }
  auto fileName = fileNameOfMediaID(videoID);
  if (!fileName) {
    return std::nullopt;
  }
  for (const auto& [storedID, position] : playbackPositions_) {
    if (fileNameOfMediaID(storedID) == fileName) {
      return position;
    }
  }
  return std::nullopt;
}

std::optional<std::string> PlayerSession::webViewMediaID() const {
  auto url = deps_.web.currentURL();
  if (!url) {
    return std::nullopt;
  }
  auto media = deps_.registry.resolve(*url);
  return media ? std::optional(media->mediaID) : std::nullopt;
}

void PlayerSession::updatePlaybackPosition(const std::string& videoID, double time,
                                           std::optional<std::string> title) {
  if (!currentVideoID_ || !std::isfinite(time) || time < 1 || time > kLongestBelievedLength) {
    return;
  }
  if (playlistIndex() && videoID != currentVideoID_) {
    return;
  }
  // The embedded player moved on to another video by itself: remember that video's own link.
  if (isYouTubeActive_ && currentVideoID_ != videoID && videoID.find(':') == std::string::npos) {
    currentSourceURL_ = URLHelper::makeWatchURL(videoID);
  }
  currentVideoID_ = videoID;
  // A local file's page has no title of its own: the file is known by its name, whatever engine
  // plays it.
  if (!title || isBlank(*title)) {
    if (auto fileName = fileNameOfMediaID(videoID)) {
      title = std::filesystem::path(*fileName).stem().string();
    }
  }
  if (auto url = deps_.web.currentURL()) {
    if (auto media = deps_.registry.resolve(*url); media && media->mediaID == videoID) {
      currentSourceURL_ = media->playbackURL.absoluteString();
    }
  }
  playbackPositions_[videoID] = time;
  std::string lastURL = currentSourceURL_ ? *currentSourceURL_ : URLHelper::makeWatchURL(videoID);
  {
    Defaults::Batch batch(deps_.defaults);
    writePositions();
    setLastURL(lastURL);
  }
  deps_.settings.recordRecentVideo(videoID, title, time, lastURL);
}

void PlayerSession::writePositions() {
  PropertyList::Dictionary dictionary;
  for (const auto& [videoID, position] : playbackPositions_) {
    dictionary.emplace(videoID, PropertyList(position));
  }
  deps_.defaults.set(kPositionsKey, PropertyList(std::move(dictionary)));
}

void PlayerSession::setLastURL(const std::string& url) {
  deps_.defaults.set(kLastURLKey, url);
}

std::optional<std::string> PlayerSession::activeVideoID() const {
  return currentVideoID_ ? currentVideoID_ : webViewMediaID();
}

void PlayerSession::flushPlaybackPositionToDefaults() {
  Defaults::Batch batch(deps_.defaults);
  writePositions();
  persistLastOpenedVideoFallback();
}

void PlayerSession::persistLastOpenedVideoFallback() {
  auto videoID = activeVideoID();
  if (!videoID) {
    return;
  }
  if (currentSourceURL_) {
    setLastURL(*currentSourceURL_);
    return;
  }
  StartTime start;
  if (auto position = savedPosition(*videoID); position && *position >= 1) {
    start = std::llround(*position);
  }
  setLastURL(URLHelper::makeWatchURL(*videoID, start));
}

void PlayerSession::persistCurrentPlaybackPosition() {
  const auto& snapshot = deps_.native.snapshot();
  if (snapshot && snapshot->mediaID == currentVideoID_) {
    updatePlaybackPosition(snapshot->mediaID, snapshot->time, currentVideoTitle_);
    return;
  }
  deps_.web.evaluate("window.nativePostPlaybackProgress && window.nativePostPlaybackProgress();",
                     nullptr);
}

void PlayerSession::pauseAndPersistCurrentPlayback(std::function<void()> done) {
  runOnMain([this, done = std::move(done)] {
    deps_.web.evaluate(
        "if (window.ytPause) { window.ytPause(); } "
        "if (window.nativePostPlaybackProgress) { window.nativePostPlaybackProgress(); } "
        "var v = document.querySelector('video'); "
        "if (v) { v.pause(); v.currentTime = v.currentTime || 0; }",
        [done](const ScriptResult&) {
          if (done) {
            done();
          }
        });
  });
}

std::optional<RecentVideoItem> PlayerSession::historyEntry(const std::string& videoID) const {
  for (const auto* list : {&deps_.settings.watchHistoryVideos(), &deps_.settings.recentVideos()}) {
    for (const RecentVideoItem& item : *list) {
      if (item.videoID == videoID) {
        return item;
      }
    }
  }
  return std::nullopt;
}

void PlayerSession::applyHistoryNotice(const std::optional<RecentVideoItem>& entry) {
  historyNoticeClearTask_.cancel();
  if (entry && entry->isThumbsDown) {
    showHistoryAlert(
        _("This video was marked thumbs down"),
        formatted(_("\u201c%s\u201d is in your history as a thumbs-down video."), {entry->title}));
    statusMessage_ = _("History note: thumbs down");
    ++statusMessageToken_;
  } else if (entry && entry->watchLaterStars >= 1) {
    const int stars = entry->watchLaterStars;
    showTemporaryHistoryNotice(
        formatted(P_("Watched earlier: rated %s star", "Watched earlier: rated %s stars",
                     static_cast<unsigned long>(stars)),
                  {std::to_string(stars)}),
        180);
  } else {
    statusMessage_.clear();
  }
  changed();
}

void PlayerSession::showHistoryAlert(const std::string& title, const std::string& message) {
  deps_.dialogs.showAlert(Alert{.style = Alert::Style::warning,
                                .title = title,
                                .message = message,
                                .buttons = {_("OK")},
                                .destructiveButton = {}},
                          [](std::size_t) {});
}

void PlayerSession::unloadCurrentMedia() {
  currentVideoID_.reset();
  currentSourceURL_.reset();
  currentVideoTitle_.clear();
  playerState_ = -1;
  playerCurrentTime_ = 0;
  playerDuration_ = 0;
  tracks_.clear();
  pageSubtitles_.clear();
  pageAudio_.clear();
  deps_.native.stop();
  loader_.invalidatePlayerShell();
  deps_.web.loadHTML("", std::nullopt);
}

void PlayerSession::stopForFailure(const std::string& message) {
  pauseAndPersistCurrentPlayback();
  deps_.native.stop();
  playerState_ = -1;
  statusClearTask_.cancel();
  ++statusMessageToken_;
  statusMessage_ = message;
  if (windowHooks_.holdContentSolid) {
    windowHooks_.holdContentSolid(true);
  }
}

void PlayerSession::setStatusMessage(const std::string& text, std::optional<double> clearAfter) {
  const std::uint64_t token = ++statusMessageToken_;
  statusMessage_ = text;
  statusClearTask_.cancel();
  if (clearAfter) {
    statusClearTask_ = deps_.queue.postDelayed(*clearAfter, lifetime_.guard([this, token] {
      if (statusMessageToken_ == token) {
        statusMessage_.clear();
        changed();
      }
    }));
  }
  changed();
}

void PlayerSession::showTemporaryHistoryNotice(const std::string& text, double duration) {
  historyNoticeClearTask_.cancel();
  const std::uint64_t token = ++statusMessageToken_;
  statusMessage_ = text;
  historyNoticeClearTask_ = deps_.queue.postDelayed(duration, lifetime_.guard([this, token] {
    if (statusMessageToken_ == token) {
      statusMessage_.clear();
      changed();
    }
    historyNoticeClearTask_ = TaskHandle();
  }));
  changed();
}

void PlayerSession::promptForURL() {
  if (windowHooks_.suspendAlwaysOnTopForOverlay) {
    windowHooks_.suspendAlwaysOnTopForOverlay();
  }
  Alert alert{.style = Alert::Style::informational,
              .title = _("Open Streaming URL"),
              .message = _("Enter a YouTube, Disney+, MP4, or WebM URL. You can also drop a "
                           "video file onto the player."),
              .buttons = {_("Open"), _("Cancel")},
              .destructiveButton = {}};
  deps_.dialogs.promptForText(
      alert, "https://www.youtube.com/watch?v=dQw4w9WgXcQ or https://www.disneyplus.com/video/…",
      "", lifetime_.guard([this](std::optional<std::string> text) {
        if (windowHooks_.restoreAlwaysOnTopAfterOverlay) {
          windowHooks_.restoreAlwaysOnTopAfterOverlay();
        }
        if (text) {
          loadStreamingURL(*text, true);
        }
      }));
}

}  // namespace orvel
