// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/Cancellable.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/Translation.h"
#include "player/WebEngine.h"

namespace orvel {

// Keeps the YouTube player page (the shell) loaded in the web view: loads it, watches that it
// reports "ready" within 12 seconds (one automatic retry), and hands the one queued YouTube load
// to it once it is ready.
class PlayerPageLoader {
 public:
  static constexpr double kWatchdogSeconds = 12.0;
  static constexpr double kStillInTimeSeconds = 8.0;
  static constexpr const char* kPageMissing = N_("Player page missing");
  static constexpr const char* kCouldNotStart =
      N_("The YouTube player could not start. Check your connection, then paste the URL again.");

  struct PendingLoad {
    std::string mediaID;
    double start = 0;
    bool autoplay = false;
    std::int64_t playlistIndex = 0;
  };

  // What the loader reads from and tells the session.
  struct Hooks {
    // The page's HTML, or none when the resource is missing or unreadable.
    std::function<std::optional<std::string>()> readPlayerPage;
    std::function<void(const std::string& text, std::optional<double> clearAfter)> setStatusMessage;
    std::function<bool()> isYouTubeActive;
    std::function<double()> playerVolume;
    std::function<bool()> isEqualizerEnabled;
  };

  PlayerPageLoader(MainQueue& queue, WebEngine& web, Hooks hooks);

  void loadPlayerPage();
  void ensurePlayerPage();
  void invalidatePlayerShell();
  void dispatchPendingYouTubeLoad();
  void flushPendingYouTubeLoad();
  void handlePlayerReady();

  // Replaces whatever load was waiting: there is one slot.
  void queueYouTubeLoad(PendingLoad load);
  void clearPendingYouTubeLoad() { pending_.reset(); }
  const std::optional<PendingLoad>& pendingYouTubeLoad() const { return pending_; }

  // Every command to the shell goes through here.
  void evaluatePlayer(const std::string& script,
                      std::function<void(const std::string& error)> onError = nullptr);

  bool playerPageLoaded() const { return playerPageLoaded_; }
  bool playerReady() const { return playerReady_; }
  bool isPlayerShellLoading() const { return isPlayerShellLoading_; }
  int playerShellAttempts() const { return playerShellAttempts_; }

 private:
  void watchdogFired();

  MainQueue& queue_;
  WebEngine& web_;
  Hooks hooks_;
  bool playerPageLoaded_ = false;
  bool playerReady_ = false;
  bool isPlayerShellLoading_ = false;
  std::optional<double> playerShellLoadStarted_;
  TaskHandle playerShellWatchdog_;
  int playerShellAttempts_ = 0;
  std::optional<PendingLoad> pending_;
  // Tells a failed `ytLoad` whether a newer load was queued after it.
  std::uint64_t loadGeneration_ = 0;
  Lifetime lifetime_;
};

}  // namespace orvel
