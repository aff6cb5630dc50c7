// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>

#include "playlist/PlaylistView.h"

namespace orvel {

// The playlist panel's footer: remove and move the selection, play the open folder, repeat,
// shuffle, clear, the selection's count and Done.
class PlaylistFooter {
 public:
  // The shuffle actions join `actions`, the panel's group.
  PlaylistFooter(PlaylistView& model, Gio::SimpleActionGroup& actions,
                 std::function<void()> onDone);
  PlaylistFooter(const PlaylistFooter&) = delete;
  PlaylistFooter& operator=(const PlaylistFooter&) = delete;

  Gtk::Widget& widget() { return footer_; }
  // What depends on the library and the open folder.
  void refreshScope();
  // What depends on the selection and the repeat mode.
  void refreshControls();

 private:
  void buildEditButtons();
  void buildPlayButtons(Gio::SimpleActionGroup& actions);

  PlaylistView& model_;
  std::function<void()> onDone_;
  Glib::RefPtr<Gio::SimpleAction> shuffleRemaining_;
  Gtk::Box footer_{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::Button remove_;
  Gtk::Button moveUp_;
  Gtk::Button moveDown_;
  Gtk::Button play_;
  Gtk::Button repeat_;
  Gtk::MenuButton shuffle_;
  Gtk::Button clear_;
  Gtk::Label selectedCount_;
  Gtk::Button done_;
};

}  // namespace orvel
