// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "core/Geometry.h"

namespace orvel {

// The player's top-level window as its behaviour drives it.
class PlayerWindow {
 public:
  virtual ~PlayerWindow() = default;

  // Realised and shown, so its frame and state can be changed.
  virtual bool isUsable() const = 0;
  virtual Rect frame() const = 0;
  virtual void setFrame(const Rect& frame) = 0;
  // The monitors, the main one first.
  virtual std::vector<Screen> screens() const = 0;
  virtual void setKeepAbove(bool above) = 0;
  virtual void setSticky(bool sticky) = 0;
  virtual void present() = 0;
  // A modal dialog of the window is up.
  virtual bool hasAttachedSheet() const = 0;
  virtual bool isMouseButtonPressed() const = 0;
  virtual void setReceivesMouseEvents(bool receives) = 0;
  // While locked, the window system is asked to propose 16:9 sizes only.
  virtual void setAspectRatioLocked(bool locked) = 0;
  // The opacity of the player content (the web view and the video), not of the window.
  virtual void setContentOpacity(double opacity) = 0;
  // Where the pointer is, relative to the window's top-left corner, whether it is over the window
  // and whether a button is held: one question to the window system itself, as the window sees
  // no pointer events while it lets clicks through.
  struct Pointer {
    Point location;
    bool inside = false;
    bool buttonPressed = false;
  };
  virtual std::optional<Pointer> pointer() const = 0;
  // Called with the new frame after every move and resize.
  virtual void setFrameObserver(std::function<void(const Rect&)> observer) = 0;
};

}  // namespace orvel
