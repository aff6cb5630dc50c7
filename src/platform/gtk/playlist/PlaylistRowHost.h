// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstddef>

#include "core/Uuid.h"
#include "playlist/PlaylistMetadata.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// What the rows of the playlist panel ask of the panel that holds them: the model they show, the
// selection of the content list, and the panel's one menu.
class PlaylistRowHost {
 public:
  virtual ~PlaylistRowHost() = default;
  virtual PlaylistView& model() = 0;
  virtual PlaylistMetadata& metadata() = 0;
  virtual bool isSelected(std::size_t position) const = 0;
  virtual void setSelected(std::size_t position, bool selected) = 0;
  // The rows a right click on the row at `position` acts on: the selection when the row is in it.
  virtual PlaylistView::Ids contextTargets(std::size_t position) const = 0;
  virtual void showContextMenu(Gtk::Widget& anchor, double x, double y,
                               const PlaylistView::Ids& ids) = 0;
  // The row's own menus, below the button that opens them.
  virtual void showMoveMenu(Gtk::Widget& anchor, const Uuid& id) = 0;
  virtual void showActionsMenu(Gtk::Widget& anchor, const Uuid& id) = 0;
  // Rows dragged from `from` (with the selection when it is in it) dropped before `destination`.
  virtual void dropRows(std::size_t from, std::size_t destination) = 0;
};

}  // namespace orvel
