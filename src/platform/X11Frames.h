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

// Centres a window on its screen each time it is shown, inside the visible area with the
// player's margin; once the window manager has placed it, a moment later, it is centred again
// and so kept whole on screen.
class ScreenCentring {
 public:
  static constexpr unsigned kSettleMilliseconds = 300;

  explicit ScreenCentring(Gtk::Window& window);
  ~ScreenCentring();
  ScreenCentring(const ScreenCentring&) = delete;
  ScreenCentring& operator=(const ScreenCentring&) = delete;

 private:
  void centre();

  Gtk::Window& window_;
  sigc::connection mapped_;
  sigc::connection settle_;
};

}  // namespace orvel
