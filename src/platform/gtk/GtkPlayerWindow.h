// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "player/PlayerWindow.h"

namespace orvel {

// The player's top-level GTK window, handled through X11 where GTK 4 has no API: keep-above and
// every-workspace are window-manager states, the frame is moved and read in root coordinates, and
// moves are seen through the display's X events.
class GtkPlayerWindow final : public PlayerWindow {
 public:
  // `modalShown` tells whether a dialog of the player is up.
  GtkPlayerWindow(Gtk::Window& window, std::function<bool()> modalShown);
  ~GtkPlayerWindow() override;
  GtkPlayerWindow(const GtkPlayerWindow&) = delete;
  GtkPlayerWindow& operator=(const GtkPlayerWindow&) = delete;

  bool isUsable() const override;
  // The window's number on the display (its X11 id); 0 before it is shown or off X11.
  std::int64_t windowNumber() const;
  Rect frame() const override;
  void setFrame(const Rect& frame) override;
  std::vector<Screen> screens() const override;
  void setKeepAbove(bool above) override;
  void setSticky(bool sticky) override;
  void present() override;
  bool hasAttachedSheet() const override { return modalShown_ && modalShown_(); }
  bool isMouseButtonPressed() const override;
  void setReceivesMouseEvents(bool receives) override;
  void setFrameObserver(std::function<void(const Rect&)> observer) override {
    frameObserver_ = std::move(observer);
  }
  void setAspectRatioLocked(bool locked) override;
  void setContentOpacity(double opacity) override;
  std::optional<Pointer> pointer() const override;
  // The view that draws the player content applies its opacity.
  void setContentOpacityHandler(std::function<void(double)> handler) {
    contentOpacity_ = std::move(handler);
  }

 private:
  void sendToWindowManager(const char* message, long first, long second, long fourth) const;
  void sendState(bool add, const char* state) const;
  void showTopStripOnly(bool only) const;
  static gboolean onXEvent(GdkDisplay* display, gpointer xevent, gpointer self);

  Gtk::Window& window_;
  std::function<bool()> modalShown_;
  std::function<void(const Rect&)> frameObserver_;
  std::function<void(double)> contentOpacity_;
  Rect lastReported_;
  gulong xeventHandler_ = 0;
};

}  // namespace orvel
