// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Cancellable.h"
#include "core/Defaults.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "core/NotificationCenter.h"
#include "player/PlayerWindow.h"
#include "player/PlayerWindowCoordinator.h"
#include "settings/AppSettings.h"

namespace orvel {

// How the player window sits on the desktop: set up once it is shown, kept above other windows
// while the user wants it (and no dialog is up), and its frame remembered between runs.
class PlayerWindowBehaviour {
 public:
  static constexpr const char* kFrameKey = "playerWindowFrame";
  static constexpr double kSetupRetryDelay = 0.05;
  static constexpr int kSetupRetries = 10;
  static constexpr double kDefaultWidth = 1024;
  static constexpr double kDefaultHeight = 576;

  using StatusMessage = std::function<void(const std::string& text, double clearAfter)>;

  PlayerWindowBehaviour(MainQueue& queue, Defaults& defaults, AppSettings& settings,
                        NotificationCenter& center, PlayerWindow& window,
                        StatusMessage statusMessage);

  void configureWindow();
  void scheduleWindowSetup(int retryCount);

  void setAlwaysOnTop(bool on);
  void applyAlwaysOnTopState();
  void reassertAlwaysOnTopState() { applyAlwaysOnTopState(); }
  void suspendAlwaysOnTopForOverlay();
  void restoreAlwaysOnTopAfterOverlay();
  void setShowingPlaylist(bool showing);
  void setLockAspectRatio16x9(bool on);
  void setFillPlayerWindow(bool on);
  // The window became the active one: it is kept on its screen, without centring.
  void windowDidBecomeActive();
  // Monitors came or went: a window left off every screen is centred on one.
  void screensDidChange();
  // Page scripts go through this once the web engine is there.
  void setPageScriptRunner(std::function<void(const std::string&)> run) {
    runPageScript_ = std::move(run);
  }
  // Called each time the window has been set up.
  void setConfiguredHandler(std::function<void()> configured) {
    configuredHandler_ = std::move(configured);
  }
  // Stores the frame the window closes with, whatever moves were or were not reported.
  void windowWillClose();

  bool isAlwaysOnTop() const { return isAlwaysOnTop_; }
  bool isFillPlayerWindowEnabled() const { return isFillPlayerWindowEnabled_; }
  // The level last given to the window: true while it is kept above.
  bool isKeptAbove() const { return keptAbove_.value_or(false); }
  int overlayPresentationCount() const { return overlayPresentationCount_; }

 private:
  void applyWindowConfiguration();
  void restoreWindowFrameIfNeeded();
  void startPersistingWindowFrame();
  void setFrame(const Rect& frame);
  void persistFrame(const Rect& frame);
  std::optional<Rect> allowedArea(const Rect& frame) const;
  void clampToVisibleScreen(bool centerIfOffscreen);

  MainQueue& queue_;
  Defaults& defaults_;
  AppSettings& settings_;
  PlayerWindow& window_;
  StatusMessage statusMessage_;
  bool configured_ = false;
  std::optional<Rect> knownFrame_;
  bool isAlwaysOnTop_ = true;
  std::optional<bool> keptAbove_;
  int overlayPresentationCount_ = 0;
  bool showingPlaylist_ = false;
  bool isFillPlayerWindowEnabled_ = false;
  PlayerWindowCoordinator coordinator_;
  std::function<void(const std::string&)> runPageScript_;
  std::function<void()> configuredHandler_;
  TaskHandle setupTask_;
  std::vector<ObserverToken> tokens_;
  Lifetime lifetime_;
};

}  // namespace orvel
