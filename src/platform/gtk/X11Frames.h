// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <vector>

#include "core/Geometry.h"

namespace orvel {

// Where a toplevel stands on an X11 screen, in root coordinates and points, and moving it there:
// GTK 4 gives windows no position of their own. Elsewhere a frame is read at the origin and
// setting it only sets the size.
Rect x11Frame(const Gtk::Window& window);
void setX11Frame(Gtk::Window& window, const Rect& frame);
// The display's screens by their work areas (without panels), the primary one first.
std::vector<Screen> displayScreens();

// Keeps a window whole on its screen each time it is shown and after each resize: the window
// manager places a new window (over the player, for the player's own windows), or the user drags
// its edge past the screen's, and a moment later the window is moved and cut as little as brings
// it inside the visible area with the player's margin, or centred there when it lies off every
// screen.
class ScreenKeeping {
 public:
  static constexpr unsigned kSettleMilliseconds = 300;

  explicit ScreenKeeping(Gtk::Window& window);
  ~ScreenKeeping();
  ScreenKeeping(const ScreenKeeping&) = delete;
  ScreenKeeping& operator=(const ScreenKeeping&) = delete;

 private:
  void keepOnScreenSoon();
  void keepOnScreen();

  Gtk::Window& window_;
  sigc::connection mapped_;
  sigc::connection resized_;
  sigc::connection settle_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace orvel
