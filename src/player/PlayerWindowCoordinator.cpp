// SPDX-License-Identifier: GPL-3.0-or-later

#include "player/PlayerWindowCoordinator.h"

#include <cmath>

namespace orvel {

PlayerWindowCoordinator::Size PlayerWindowCoordinator::windowWillResize(Size proposed) const {
  if (!lockAspectRatio16x9 || !(proposed.width > 0) || !std::isfinite(proposed.width)) {
    return proposed;
  }
  return {proposed.width, WindowGeometry::lockedHeight(proposed.width)};
}

std::optional<Rect> PlayerWindowCoordinator::lockedFrame(const Rect& frame) const {
  if (!lockAspectRatio16x9 || isAdjustingFrame || !(frame.width > 0) ||
      !std::isfinite(frame.width)) {
    return std::nullopt;
  }
  const double height = WindowGeometry::lockedHeight(frame.width);
  if (std::abs(height - frame.height) <= 1) {
    return std::nullopt;
  }
  // The origin is the top-left corner here, so keeping the top edge keeps the origin.
  return Rect{frame.x, frame.y, frame.width, height};
}

void PlayerWindowCoordinator::windowDidChangeFrame(
    const Rect& frame, const std::function<void(const Rect&)>& setFrame) {
  if (auto locked = lockedFrame(frame)) {
    isAdjustingFrame = true;
    setFrame(*locked);
    isAdjustingFrame = false;
  }
  if (onFrameChanged) {
    onFrameChanged(frame);
  }
}

}  // namespace orvel
