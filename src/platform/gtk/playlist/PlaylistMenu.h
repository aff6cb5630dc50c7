// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <optional>
#include <vector>

#include "core/Uuid.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// The playlist panel's one menu: the context menu of rows and folders, and the menus of a row's
// buttons. Its entries are the model's; choosing one performs it on the rows it was opened for.
class PlaylistMenu {
 public:
  // The menu's action joins `actions`, the panel's group.
  PlaylistMenu(Gtk::Window& window, PlaylistView& model, Gio::SimpleActionGroup& actions);
  ~PlaylistMenu();
  PlaylistMenu(const PlaylistMenu&) = delete;
  PlaylistMenu& operator=(const PlaylistMenu&) = delete;

  // At the point (x, y) inside `anchor`.
  void showContextMenu(Gtk::Widget& anchor, double x, double y, const PlaylistView::Ids& ids);
  // Below the button that opens them.
  void showMoveMenu(Gtk::Widget& anchor, const Uuid& id);
  void showActionsMenu(Gtk::Widget& anchor, const Uuid& id);
  // Before the window's content, which the menu hangs from, comes down.
  void detach();

 private:
  void show(Gtk::Widget& anchor, const Glib::RefPtr<Gio::MenuModel>& model,
            std::optional<Gdk::Rectangle> at = std::nullopt);
  Glib::RefPtr<Gio::Menu> menuModel(const std::vector<PlaylistView::MenuEntry>& entries,
                                    const PlaylistView::Ids& ids);
  Glib::RefPtr<Gio::Menu> section(const std::vector<PlaylistView::MenuEntry>& entries);

  Gtk::Window& window_;
  PlaylistView& model_;
  // The entries of the menu on screen, by the index its items carry.
  std::vector<PlaylistView::MenuEntry> entries_;
  PlaylistView::Ids targets_;
  Gtk::PopoverMenu popover_;
};

}  // namespace orvel
