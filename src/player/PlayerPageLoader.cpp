// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerPageLoader.h"

#include <cmath>
#include <limits>
#include <utility>

#include "core/Log.h"
#include "core/Translation.h"
#include "player/PlayerPageScripts.h"

namespace orvel {

PlayerPageLoader::PlayerPageLoader(MainQueue& queue, WebEngine& web, Hooks hooks)
    : queue_(queue), web_(web), hooks_(std::move(hooks)) {}

void PlayerPageLoader::loadPlayerPage() {
  std::optional<std::string> html = hooks_.readPlayerPage ? hooks_.readPlayerPage() : std::nullopt;
  if (!html) {
    hooks_.setStatusMessage(_(kPageMissing), std::nullopt);
    return;
  }
  playerShellWatchdog_.cancel();
  playerReady_ = false;
  playerPageLoaded_ = true;
  isPlayerShellLoading_ = true;
  playerShellLoadStarted_ = queue_.now();
  web_.loadHTML(*html, std::string(PlayerPageScripts::kPlayerPageBaseURL));
  playerShellWatchdog_ =
      queue_.postDelayed(kWatchdogSeconds, lifetime_.guard([this] { watchdogFired(); }));
}

void PlayerPageLoader::watchdogFired() {
  playerShellWatchdog_ = TaskHandle();
  if (playerReady_) {
    return;
  }
  isPlayerShellLoading_ = false;
  playerPageLoaded_ = false;
  if (playerShellAttempts_ >= 1) {
    logLine("Player", "The player page did not become ready again; giving up until the next load");
    hooks_.setStatusMessage(_(kCouldNotStart), 8.0);
    return;
  }
  logLine("Player", "The player page did not become ready in time; reloading it");
  ++playerShellAttempts_;
  loadPlayerPage();
}

void PlayerPageLoader::ensurePlayerPage() {
  if (playerPageLoaded_ && playerReady_) {
    return;
  }
  if (isPlayerShellLoading_ && playerShellLoadStarted_ &&
      queue_.now() - *playerShellLoadStarted_ < kStillInTimeSeconds) {
    return;
  }
  loadPlayerPage();
}

void PlayerPageLoader::invalidatePlayerShell() {
  playerShellWatchdog_.cancel();
  playerPageLoaded_ = false;
  playerReady_ = false;
  isPlayerShellLoading_ = false;
}

void PlayerPageLoader::handlePlayerReady() {
  playerShellWatchdog_.cancel();
  playerShellAttempts_ = 0;
  isPlayerShellLoading_ = false;
  playerReady_ = true;
  logLine("Player", "The player page is ready");
  if (hooks_.isYouTubeActive()) {
    dispatchPendingYouTubeLoad();
  }
  const bool equalizerOn = hooks_.isEqualizerEnabled();
  const double volume = hooks_.playerVolume();
  if (volume == 100 && !equalizerOn) {
    return;
  }
  const long long level = equalizerOn ? 100 : static_cast<long long>(std::trunc(volume));
  evaluatePlayer("window.ytSetVolume(" + std::to_string(level) + ");");
}

void PlayerPageLoader::queueYouTubeLoad(PendingLoad load) {
  pending_ = std::move(load);
  ++loadGeneration_;
}

void PlayerPageLoader::dispatchPendingYouTubeLoad() {
  if (!pending_) {
    return;
  }
  if (!playerReady_) {
    ensurePlayerPage();
    return;
  }
  web_.evaluate("typeof window.ytLoad", lifetime_.guard([this](const ScriptResult& result) {
    queue_.post(lifetime_.guard([this, result] {
      if (!pending_) {
        return;
      }
      if (!result.error && result.stringValue == "function") {
        playerPageLoaded_ = true;
        flushPendingYouTubeLoad();
      } else {
        invalidatePlayerShell();
        ensurePlayerPage();
      }
    }));
  }));
}

void PlayerPageLoader::flushPendingYouTubeLoad() {
  if (!pending_ || !playerReady_) {
    return;
  }
  PendingLoad load = std::move(*pending_);
  pending_.reset();
  const std::uint64_t generation = loadGeneration_;
  const double start = std::isfinite(load.start) ? std::trunc(load.start) : 0;
  const long long wholeStart = start > 9e18 || start < -9e18 ? 0 : static_cast<long long>(start);
  std::string script = "window.ytLoad(" + PlayerPageScripts::jsString(load.mediaID) + ", " +
                       std::to_string(wholeStart) + ", " + (load.autoplay ? "true" : "false") +
                       ", " + std::to_string(load.playlistIndex) + ");";
  evaluatePlayer(script, [this, load, generation](const std::string&) {
    if (generation == loadGeneration_) {
      pending_ = load;
    }
    invalidatePlayerShell();
    ensurePlayerPage();
  });
}

void PlayerPageLoader::evaluatePlayer(const std::string& script,
                                      std::function<void(const std::string& error)> onError) {
  queue_.post(lifetime_.guard([this, script, onError = std::move(onError)] {
    web_.evaluate(script, lifetime_.guard([this, onError](const ScriptResult& result) {
      if (result.error && onError) {
        queue_.post(lifetime_.guard([onError, error = *result.error] { onError(error); }));
      }
    }));
  }));
}

}  // namespace orvel
