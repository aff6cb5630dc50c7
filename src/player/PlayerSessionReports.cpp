// SPDX-License-Identifier: GPL-3.0-or-later

// What the engines report: the player page its readiness, the time and state of its player, the
// item a YouTube playlist is at, the end of a video and the loss of its web process; the native
// player its snapshots.

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Text.h"
#include "core/Translation.h"
#include "core/Url.h"
#include "player/PlayerSession.h"

namespace orvel {

void PlayerSession::pageReady() {
  // A new page (the player page, or a video's own) starts at 1×.
  speed_.reapply();
  const bool fill = deps_.settings.fillPlayerWindowEnabled();
  deps_.web.evaluate(std::string("window.setNativeFillPlayerWindow && "
                                 "window.setNativeFillPlayerWindow(") +
                         (fill ? "true" : "false") + ");",
                     nullptr);
}

void PlayerSession::pageProgressed(const std::string& videoID, double time,
                                   const std::optional<std::string>& title) {
  if (isNativeMediaActive() || isFailedSourceCurrent() || isStaleReport(videoID)) {
    return;
  }
  updatePlaybackPosition(videoID, time, title);
}

void PlayerSession::playerStateChanged(int state, double time, double duration) {
  if (recovery_.failedSourceURL()) {
    return;
  }
  playerState_ = state;
  if (duration > 0) {
    setPlayerDuration(duration,
                      currentIDStartsWith("youtube-playlist:") ? std::nullopt : currentVideoID_);
  }
  if (!isScrubbing_ && !transport_.isBeforeLastSeek(time) && time <= kLongestBelievedLength) {
    playerCurrentTime_ = time;
  }
  if (state == 0 && !currentIDStartsWith("youtube-playlist:")) {
    advancePlaylist();
  }
  changed();
}

void PlayerSession::playerTicked(const PlayerTick& tick) {
  if (isFailedSourceCurrent()) {
    return;
  }
  if (!isYouTubeActive_ && tick.videoID != currentVideoID_) {
    return;
  }
  // The page that was left may still report once while the player page takes over.
  if (isYouTubeActive_ && isWebPageMediaID(tick.videoID)) {
    return;
  }
  playerState_ = tick.state;
  if (tick.duration > 0) {
    setPlayerDuration(tick.duration,
                      tick.videoID.empty() ? std::nullopt : std::optional(tick.videoID));
  }
  if (!isScrubbing_ && !transport_.isBeforeLastSeek(tick.time) &&
      tick.time <= kLongestBelievedLength) {
    playerCurrentTime_ = tick.time;
  }
  if (!tick.title.empty()) {
    currentVideoTitle_ = tick.title;
  }
  if (tick.duration > 0 && !tick.videoID.empty() && (tick.state == 1 || tick.state == 2) &&
      tick.time >= 0) {
    updatePlaybackPosition(tick.videoID, tick.time,
                           tick.title.empty() ? std::nullopt : std::optional(tick.title));
  }
  changed();
}

// The page moved through a YouTube playlist: the link kept for the item says where it is now.
void PlayerSession::playlistPositionChanged(const std::string& listID, std::int64_t index) {
  if (currentVideoID_ != "youtube-playlist:" + listID || !currentSourceURL_) {
    return;
  }
  auto url = Url::parse(*currentSourceURL_);
  if (!url) {
    return;
  }
  std::string query;
  for (const Url::QueryItem& item : url->queryItems()) {
    if (item.name == "index") {
      continue;
    }
    query += (query.empty() ? "" : "&") + percentEncoded(item.name, "") +
             (item.value ? "=" + percentEncoded(*item.value, "") : "");
  }
  if (index < 0 || index >= std::numeric_limits<std::int32_t>::max()) {
    return;
  }
  query += (query.empty() ? "" : "&") + std::string("index=") + std::to_string(index + 1);
  if (auto rebuilt = url->replacingPercentEncodedQuery(query)) {
    currentSourceURL_ = rebuilt->absoluteString();
  }
}

void PlayerSession::mediaEnded(const std::optional<std::string>& source) {
  if (recovery_.failedSourceURL() || (source && source != currentSourceURL_)) {
    return;
  }
  advancePlaylist();
}

void PlayerSession::handleProcessTerminated() {
  loader_.invalidatePlayerShell();
  playerState_ = -1;
  changed();
  if (isNativeMediaActive() || !currentSourceURL_) {
    return;
  }
  // A page that takes its web process down every time would otherwise be reopened for ever.
  const double now = deps_.queue.now();
  std::erase_if(recentTerminations_, [now](double at) { return now - at > kTerminationWindow; });
  recentTerminations_.push_back(now);
  if (recentTerminations_.size() >= kMaxTerminations) {
    recentTerminations_.clear();
    reportSourceFailure(*currentSourceURL_, _(kRepeatedTermination));
    return;
  }
  if (auto media = deps_.registry.resolve(*currentSourceURL_)) {
    loadMedia(*media, playerCurrentTime_, false);
  }
}

void PlayerSession::acceptSnapshot(const PlaybackSnapshot& snapshot) {
  if (snapshot.mediaID != currentVideoID_ || snapshot.sessionID != deps_.native.sessionID()) {
    return;
  }
  if (windowHooks_.refreshHoverState &&
      !(windowHooks_.isHoverTransparencyEnabled && windowHooks_.isHoverTransparencyEnabled())) {
    windowHooks_.refreshHoverState();
  }
  playerState_ = snapshot.state;
  setPlayerDuration(snapshot.duration, snapshot.mediaID);
  tracks_.refresh();
  if (!isScrubbing_ && !transport_.isBeforeLastSeek(snapshot.time) &&
      snapshot.time <= kLongestBelievedLength) {
    playerCurrentTime_ = snapshot.time;
  }
  if ((snapshot.state == 1 || snapshot.state == 2) && snapshot.duration > 0) {
    // The engine reports four times a second. The store hears of a position once per second of
    // playback, and at once when playback pauses, resumes or jumps, so a crash loses at most a
    // second; the position in memory, written on quit, is always the latest.
    const bool due = !storedSnapshot_ || storedSnapshot_->mediaID != snapshot.mediaID ||
                     storedSnapshot_->state != snapshot.state ||
                     std::abs(snapshot.time - storedSnapshot_->time) >= 1;
    if (due) {
      updatePlaybackPosition(snapshot.mediaID, snapshot.time, currentVideoTitle_);
      storedSnapshot_ = snapshot;
    } else if (snapshot.time >= 1 && std::isfinite(snapshot.time)) {
      playbackPositions_[snapshot.mediaID] = snapshot.time;
    }
  } else if (snapshot.state == 0) {
    runOnMain([this, snapshot] {
      if (!recovery_.failedSourceURL() && snapshot.mediaID == currentVideoID_ &&
          snapshot.sessionID == deps_.native.sessionID()) {
        advancePlaylist();
      }
    });
  } else if (snapshot.state == -1) {
    reportSourceFailure(currentSourceURL_.value_or(std::string()), _(kNativeFailure));
  }
  changed();
}

}  // namespace orvel
