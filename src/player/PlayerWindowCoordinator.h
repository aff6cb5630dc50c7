// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>

#include "chrome/WindowGeometry.h"

namespace orvel {

// The player window's 16:9 lock and its frame reports. The window is borderless, so its content
// is its whole frame.
class PlayerWindowCoordinator {
 public:
  struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
  };

  bool lockAspectRatio16x9 = false;
  std::function<void(const Rect&)> onFrameChanged;
  // True only while the coordinator sets the frame itself.
  bool isAdjustingFrame = false;

  // The size the window may take for a proposed size: width wins and the height follows while
  // locked.
  Size windowWillResize(Size proposed) const;
  // The frame that brings the window to 16:9 with its top edge kept, when it is locked and more
  // than a point away from it.
  std::optional<Rect> lockedFrame(const Rect& frame) const;

  // After each move or resize the window system reports: while locked, sets the 16:9 frame
  // through `setFrame` (which may report again, and is then left alone); then reports the frame.
  void windowDidChangeFrame(const Rect& frame, const std::function<void(const Rect&)>& setFrame);
};

}  // namespace orvel
