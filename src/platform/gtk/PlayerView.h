// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/Cancellable.h"
#include "platform/gtk/ShadowedLabel.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/toolbar/PlayerToolbar.h"
#include "player/PlaybackKeys.h"
#include "player/PlayerSession.h"

namespace orvel {

// The player window's content, back to front: the black top band, the web view (or, while an
// MKV plays, the native video above it), the bars, the status bubble, the drop prompt and the
// drag strip.
// It renders the session's state and forwards drops and playback keys; it decides nothing.
class PlayerView final : public Gtk::Overlay {
 public:
  struct Inputs {
    std::function<void(const std::string& text)> onDrop;
    // A subtitle file dropped on the window.
    std::function<void(const std::string& path)> onSubtitleDrop;
    std::function<void(bool targeted)> onTargetedChange;
    std::function<bool(std::uint16_t keyCode)> onPlaybackKey;
    // A dialog of the player is up: keys belong to it.
    std::function<bool()> modalShown;
    // The pointer entered or left the view (seen only while the window takes input).
    std::function<void(bool inside)> onPointerInside;
    // The window modes the bars depend on.
    std::function<bool()> isHovering;
    std::function<bool()> isHoverMode;
    std::function<bool()> isAlwaysOnTop;
  };

  PlayerView(PlayerSession& session, Inputs inputs);
  ~PlayerView() override;

  void updateWebView(GtkWidget* webView);
  // The toolbar at the foot of the bars, fed with the session's values on every refresh.
  void setToolbar(PlayerToolbar& toolbar);
  // Draws the session's state again (the window modes changed).
  void refresh() { render(); }
  // The native player's video, shown above the web view while native playback is active.
  void setNativeVideoView(Gtk::Widget* view);
  // The player content (web view and video) alone fades; the bars and messages stay.
  void setContentOpacity(double opacity) { content_.set_opacity(opacity); }
  // Call once the view is in its window: the playback keys are caught there.
  void installKeyHandler(Gtk::Window& window);
  // A right click on the top strip shows this menu: the status menu, reachable on desktops
  // without a tray.
  void setStripMenu(std::function<Glib::RefPtr<Gio::MenuModel>()> menu);
  // Pops the strip's menu up, as a right click there does.
  void showStripMenu(double x, double y);

 private:
  void render();
  bool moveFocusBetweenContentAndToolbar(Gtk::Window& window, guint keyval,
                                         Gdk::ModifierType state);
  void focusPicture(Gtk::Window& window);
  void buildLayers();
  void buildBars();
  void buildDropPrompt();
  void buildDragStrip();
  void buildDropTarget();
  // Also words the drop prompt for what the drag holds.
  bool isDroppable();
  void updateToolbar();

  PlayerSession& session_;
  Inputs inputs_;
  LaterTurns later_;
  Gtk::Overlay content_;
  GtkWidget* webView_ = nullptr;
  Gtk::Widget* nativeView_ = nullptr;
  Gtk::Box topBand_;
  Gtk::Label status_;
  Gtk::Box topBar_;
  ShadowedLabel title_;
  PlayerToolbar* toolbar_ = nullptr;
  bool toolbarHasFocus_ = false;
  Glib::RefPtr<Gtk::EventControllerFocus> toolbarFocus_;
  // Fills the view and draws nothing: its size is the view's, which the toolbar's layout follows.
  Gtk::DrawingArea sizeProbe_;
  Gtk::Box dropPrompt_;
  Gtk::Label dropTitle_;
  Gtk::Label dropLine_;
  Gtk::WindowHandle dragStrip_;
  std::function<Glib::RefPtr<Gio::MenuModel>()> stripMenuModel_;
  Gtk::PopoverMenu stripMenu_;
  Glib::RefPtr<Gtk::DropTarget> dropTarget_;
  Glib::RefPtr<Gtk::EventControllerMotion> motion_;
  PlaybackKeys::RepeatTracker repeats_;
  Gtk::Window* keyWindow_ = nullptr;
  Glib::RefPtr<Gtk::EventControllerKey> keyController_;
  sigc::connection launchFocus_;
  ObserverToken sessionChanges_;
};

}  // namespace orvel
