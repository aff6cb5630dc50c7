// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerWindowBehaviour.h"

#include <utility>

#include "core/Translation.h"

namespace orvel {

PlayerWindowBehaviour::PlayerWindowBehaviour(MainQueue& queue, Defaults& defaults,
                                             AppSettings& settings, NotificationCenter& center,
                                             PlayerWindow& window, StatusMessage statusMessage)
    : queue_(queue),
      defaults_(defaults),
      settings_(settings),
      window_(window),
      statusMessage_(std::move(statusMessage)) {
  auto follow = [this, &center](const char* name, void (PlayerWindowBehaviour::*setter)(bool)) {
    tokens_.push_back(center.addObserver(name, [this, setter](const Notification& note) {
      if (const bool* enabled = note.value<bool>("enabled")) {
        (this->*setter)(*enabled);
      }
    }));
  };
  follow("setAlwaysOnTop", &PlayerWindowBehaviour::setAlwaysOnTop);
  follow("setFillPlayerWindow", &PlayerWindowBehaviour::setFillPlayerWindow);
  follow("setLockAspectRatio16x9", &PlayerWindowBehaviour::setLockAspectRatio16x9);
  isFillPlayerWindowEnabled_ = settings_.fillPlayerWindowEnabled();
  coordinator_.lockAspectRatio16x9 = settings_.lockAspectRatio16x9Enabled();
  coordinator_.onFrameChanged = [this](const Rect& frame) { persistFrame(frame); };
}

void PlayerWindowBehaviour::scheduleWindowSetup(int retryCount) {
  if (retryCount < 1) {
    return;
  }
  setupTask_ = queue_.postDelayed(kSetupRetryDelay, lifetime_.guard([this, retryCount] {
    if (window_.isUsable()) {
      configureWindow();
    } else {
      scheduleWindowSetup(retryCount - 1);
    }
  }));
}

void PlayerWindowBehaviour::configureWindow() {
  if (!window_.isUsable()) {
    scheduleWindowSetup(kSetupRetries);
    return;
  }
  // Asked before the configuration starts storing the frame, so a first start is recognised.
  const bool hasStoredFrame = defaults_.object(kFrameKey).has_value();
  applyWindowConfiguration();
  if (!hasStoredFrame) {
    auto screens = window_.screens();
    if (auto best = WindowGeometry::bestScreen(screens, window_.frame())) {
      const Rect& visible = screens[*best].visibleFrame;
      setFrame(Rect{visible.midX() - kDefaultWidth / 2, visible.midY() - kDefaultHeight / 2,
                    kDefaultWidth, kDefaultHeight});
    }
  }
  clampToVisibleScreen(true);
  window_.setReceivesMouseEvents(true);
  applyAlwaysOnTopState();
  window_.present();
  if (configuredHandler_) {
    configuredHandler_();
  }
}

void PlayerWindowBehaviour::applyWindowConfiguration() {
  if (!configured_) {
    configured_ = true;
    restoreWindowFrameIfNeeded();
    startPersistingWindowFrame();
    // The player follows the user from workspace to workspace.
    window_.setSticky(true);
  }
  coordinator_.lockAspectRatio16x9 = settings_.lockAspectRatio16x9Enabled();
  window_.setAspectRatioLocked(coordinator_.lockAspectRatio16x9);
  isAlwaysOnTop_ = settings_.alwaysOnTopEnabled();
  applyAlwaysOnTopState();
}

void PlayerWindowBehaviour::applyAlwaysOnTopState() {
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this] {
    const bool suspended = showingPlaylist_ || overlayPresentationCount_ > 0;
    const bool possible = !suspended && !window_.hasAttachedSheet();
    const bool above = possible && isAlwaysOnTop_;
    if (keptAbove_ != above) {
      keptAbove_ = above;
      window_.setKeepAbove(above);
    }
  }));
}

void PlayerWindowBehaviour::setAlwaysOnTop(bool on) {
  isAlwaysOnTop_ = on;
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this, on] {
    applyAlwaysOnTopState();
    if (on && !window_.isMouseButtonPressed()) {
      window_.present();
    }
  }));
  statusMessage_(on ? _("Always on top enabled") : _("Always on top disabled"), 2.0);
}

void PlayerWindowBehaviour::suspendAlwaysOnTopForOverlay() {
  ++overlayPresentationCount_;
  if (window_.isUsable() && keptAbove_ != false) {
    keptAbove_ = false;
    window_.setKeepAbove(false);
  }
}

void PlayerWindowBehaviour::restoreAlwaysOnTopAfterOverlay() {
  if (overlayPresentationCount_ > 0) {
    --overlayPresentationCount_;
  }
  applyAlwaysOnTopState();
}

void PlayerWindowBehaviour::setShowingPlaylist(bool showing) {
  showingPlaylist_ = showing;
  applyAlwaysOnTopState();
}

void PlayerWindowBehaviour::setLockAspectRatio16x9(bool on) {
  coordinator_.lockAspectRatio16x9 = on;
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this, on] {
    coordinator_.lockAspectRatio16x9 = on;
    window_.setAspectRatioLocked(on);
    if (auto locked = coordinator_.lockedFrame(knownFrame_.value_or(window_.frame()))) {
      coordinator_.isAdjustingFrame = true;
      setFrame(*locked);
      coordinator_.isAdjustingFrame = false;
    }
    statusMessage_(on ? _("16:9 resize lock enabled") : _("16:9 resize lock disabled"), 2.0);
  }));
}

void PlayerWindowBehaviour::setFillPlayerWindow(bool on) {
  isFillPlayerWindowEnabled_ = on;
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this, on] {
    if (runPageScript_) {
      runPageScript_(std::string("window.setNativeFillPlayerWindow && "
                                 "window.setNativeFillPlayerWindow(") +
                     (on ? "true" : "false") + ");");
    }
    statusMessage_(on ? _("Fill player window enabled") : _("Fill player window disabled"), 2.0);
  }));
}

void PlayerWindowBehaviour::windowDidBecomeActive() {
  if (configured_ && window_.isUsable()) {
    clampToVisibleScreen(false);
  }
}

void PlayerWindowBehaviour::screensDidChange() {
  queue_.post(lifetime_.guard([this] {
    if (configured_ && window_.isUsable()) {
      clampToVisibleScreen(true);
    }
  }));
}

void PlayerWindowBehaviour::restoreWindowFrameIfNeeded() {
  auto stored = defaults_.object(kFrameKey);
  const std::string* text = stored ? stored->get<std::string>() : nullptr;
  if (!text) {
    return;
  }
  auto frame = WindowGeometry::parseRectangle(*text);
  if (!frame || frame->width <= 0 || frame->height <= 0) {
    return;
  }
  setFrame(*frame);
  clampToVisibleScreen(true);
}

void PlayerWindowBehaviour::startPersistingWindowFrame() {
  window_.setFrameObserver(lifetime_.guard([this](const Rect& frame) {
    if (frame.width >= 2 && frame.height >= 2) {
      knownFrame_ = frame;
    }
    // While locked a resize ends at 16:9, whatever size the window system gave.
    coordinator_.windowDidChangeFrame(frame, [this](const Rect& locked) { setFrame(locked); });
  }));
  persistFrame(window_.frame());
}

// The frame asked for is stored at once: the window system may report the move late, or not at
// all while the window is still being shown.
void PlayerWindowBehaviour::setFrame(const Rect& frame) {
  knownFrame_ = frame;
  window_.setFrame(frame);
  if (configured_) {
    persistFrame(frame);
  }
}

// A window that is still being shown can report a frame of a single point; that is never the
// user's frame.
void PlayerWindowBehaviour::persistFrame(const Rect& frame) {
  if (frame.width < 2 || frame.height < 2) {
    return;
  }
  defaults_.set(kFrameKey, WindowGeometry::rectangleString(frame));
}

void PlayerWindowBehaviour::windowWillClose() {
  if (configured_ && window_.isUsable()) {
    persistFrame(window_.frame());
  }
}

std::optional<Rect> PlayerWindowBehaviour::allowedArea(const Rect& frame) const {
  auto screens = window_.screens();
  auto best = WindowGeometry::bestScreen(screens, frame);
  if (!best) {
    return std::nullopt;
  }
  return WindowGeometry::allowedArea(screens[*best], WindowGeometry::kScreenMargin);
}

void PlayerWindowBehaviour::clampToVisibleScreen(bool centerIfOffscreen) {
  // The window system applies a new frame a moment later; until it reports it, the frame last
  // asked for is the window's frame.
  const Rect frame = knownFrame_.value_or(window_.frame());
  auto area = allowedArea(frame);
  if (!area) {
    return;
  }
  Rect clamped = WindowGeometry::clampToVisibleScreen(frame, *area, centerIfOffscreen);
  if (clamped != frame) {
    setFrame(clamped);
  }
}

}  // namespace orvel
