// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerTransparency.h"

#include <utility>

#include "core/Translation.h"

namespace orvel {

PlayerTransparency::PlayerTransparency(MainQueue& queue, AppSettings& settings,
                                       NotificationCenter& center, PlayerWindow& window,
                                       StatusMessage statusMessage, Hooks hooks)
    : queue_(queue),
      settings_(settings),
      window_(window),
      statusMessage_(std::move(statusMessage)),
      hooks_(std::move(hooks)),
      isEightyTransparency_(settings.eightyTransparencyEnabled()),
      isTransparent_(settings.hoverTransparencyEnabled()) {
  tokens_.push_back(center.addObserver("setEightyTransparency", [this](const Notification& note) {
    if (const bool* enabled = note.value<bool>("enabled")) {
      setEightyTransparency(*enabled);
    }
  }));
  tokens_.push_back(center.addObserver("setHoverTransparency", [this](const Notification& note) {
    if (const bool* enabled = note.value<bool>("enabled")) {
      setHoverTransparency(*enabled);
    }
  }));
  tokens_.push_back(
      center.addObserver("toggleOpacity", [this](const Notification&) { toggleOpacity(); }));
}

void PlayerTransparency::setEightyTransparency(bool on) {
  isEightyTransparency_ = on;
  isDimmed_ = false;
  if (on) {
    isTransparent_ = false;
    // Announced, so hover mode ends through its own setter, before the change below applies.
    settings_.setEnabled(AppSettings::Switch::hoverTransparency, false);
  }
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this, on] {
    setContent(on ? 0.2 : 1.0, true);
    applyTransparentSurfaceMode();
    bringToFront();
    // xgettext:no-c-format (the text is not a format)
    statusMessage_(on ? _("Transparency 80% enabled") : _("Transparency reset"), 2.0);
  }));
}

void PlayerTransparency::setHoverTransparency(bool on) {
  isTransparent_ = on;
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this, on] {
    if (on) {
      startHoverMonitor();
      updateHoverStateFromMouseLocation();
      statusMessage_(_("Hover mode enabled"), 2.0);
    } else {
      stopHoverMonitor();
      isHovering_ = false;
      setContent(1.0, true);
      statusMessage_(_("Hover mode disabled"), 2.0);
    }
    applyTransparentSurfaceMode();
    bringToFront();
    // The bars follow the mode at once, not at the next report.
    if (hooks_.changed) {
      hooks_.changed();
    }
  }));
}

void PlayerTransparency::toggleOpacity() {
  const bool dimmed = !isDimmed_;
  isEightyTransparency_ = false;
  isTransparent_ = false;
  // The other modes end through their own setters; the toggle's state is set after them, and
  // applied in a later turn, so that theirs never undoes it.
  settings_.setEnabled(AppSettings::Switch::eightyTransparency, false);
  settings_.setEnabled(AppSettings::Switch::hoverTransparency, false);
  isDimmed_ = dimmed;
  if (!window_.isUsable()) {
    return;
  }
  queue_.post(lifetime_.guard([this] {
    stopHoverMonitor();
    setContent(isDimmed_ ? 0.25 : 1.0, true);
    applyTransparentSurfaceMode();
    statusMessage_(isDimmed_ ? _("Opacity 25%") : _("Opacity 100%"), 2.0);
  }));
}

void PlayerTransparency::applyCurrentTransparencyState() {
  if (isTransparent_) {
    startHoverMonitor();
    updateHoverStateFromMouseLocation();
  } else {
    stopHoverMonitor();
    isHovering_ = false;
    setContent(restingOpacity(), true);
  }
  applyTransparentSurfaceMode();
}

void PlayerTransparency::holdContentSolid(bool solid) {
  if (!window_.isUsable()) {
    return;
  }
  if (!solid) {
    applyCurrentTransparencyState();
    return;
  }
  setContent(1.0, true);
  applyTransparentSurfaceMode();
}

double PlayerTransparency::restingOpacity() const {
  return isDimmed_ ? 0.25 : isEightyTransparency_ ? 0.2 : 1.0;
}

void PlayerTransparency::updateHoverStateFromMouseLocation() {
  if (!isTransparent_) {
    // Outside hover mode the pointer only decides the bars of media whose page draws none.
    const auto mediaID = hooks_.currentMediaID ? hooks_.currentMediaID() : std::nullopt;
    if (!mediaID || !(mediaID->starts_with("mkv:") || mediaID->starts_with("disneyplus:"))) {
      return;
    }
  }
  const auto pointer = window_.pointer();
  if (!pointer || !window_.isUsable()) {
    return;
  }
  if (isHovering_ != pointer->inside) {
    isHovering_ = pointer->inside;
    if (hooks_.changed) {
      hooks_.changed();
    }
  }
  if (isTransparent_) {
    handleHoverChange(pointer->inside && pointer->location.y >= kTopStripHeight,
                      pointer->buttonPressed);
  }
}

void PlayerTransparency::handleHoverChange(bool hovering, bool buttonPressed) {
  if (!isTransparent_ || buttonPressed) {
    return;
  }
  const bool vanish = hovering && !(hooks_.isDropTargeted && hooks_.isDropTargeted()) &&
                      !(hooks_.isSourceErrorShown && hooks_.isSourceErrorShown()) &&
                      !window_.hasAttachedSheet();
  if (vanish) {
    if (ignoresMouseEvents_ && contentOpacity_ == 0) {
      return;
    }
    setContent(0, false);
  } else {
    if (!ignoresMouseEvents_ && contentOpacity_ == 1) {
      return;
    }
    setContent(1, true);
  }
  applyTransparentSurfaceMode();
}

void PlayerTransparency::setPointerInside(bool inside) {
  if (isHovering_ != inside) {
    isHovering_ = inside;
    if (hooks_.changed) {
      hooks_.changed();
    }
  }
  if (isTransparent_) {
    updateHoverStateFromMouseLocation();
  }
}

bool PlayerTransparency::barsVisible(bool isHovering, bool isScrubbing, int playerState,
                                     const std::optional<std::string>& mediaID) {
  return isHovering || isScrubbing ||
         (playerState != 1 && !(mediaID && mediaID->starts_with("disneyplus:")));
}

void PlayerTransparency::setContent(double opacity, bool receivesMouseEvents) {
  contentOpacity_ = opacity;
  ignoresMouseEvents_ = !receivesMouseEvents;
  window_.setContentOpacity(opacity);
  window_.setReceivesMouseEvents(receivesMouseEvents);
  if (hooks_.changed) {
    hooks_.changed();
  }
}

void PlayerTransparency::applyTransparentSurfaceMode() {
  if (hooks_.evaluatePageScript) {
    hooks_.evaluatePageScript(std::string("window.setNativeTransparentPlayerMode && "
                                          "window.setNativeTransparentPlayerMode(") +
                              (contentOpacity_ < 1 ? "true" : "false") + ");");
  }
}

void PlayerTransparency::bringToFront() {
  if (!window_.isMouseButtonPressed()) {
    window_.present();
  }
}

void PlayerTransparency::startHoverMonitor() {
  stopHoverMonitor();
  scheduleHoverPoll();
}

void PlayerTransparency::stopHoverMonitor() {
  hoverPoll_ = TaskHandle();
}

void PlayerTransparency::scheduleHoverPoll() {
  hoverPoll_ = queue_.postDelayed(kHoverPollInterval, lifetime_.guard([this] {
    updateHoverStateFromMouseLocation();
    scheduleHoverPoll();
  }));
}

}  // namespace orvel
