// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <optional>
#include <string>

#include "core/Uuid.h"
#include "platform/gtk/playlist/PlaylistRowArtwork.h"
#include "platform/gtk/playlist/PlaylistRowHost.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// One row of the playlist panel's content list; recycled for whatever row scrolls into view.
class PlaylistContentRow : public Gtk::Box {
 public:
  explicit PlaylistContentRow(PlaylistRowHost& host);

  void bind(const PlaylistView::Row& row, std::size_t position);
  // The selection changed under the row.
  void updateSelected();
  void unbind();
  const std::optional<Uuid>& id() const { return id_; }
  const std::string& url() const { return url_; }
  std::optional<std::size_t> position() const { return position_; }

 private:
  void buildText();
  void buildActionButtons();
  void buildGestures();
  bool drop(const Glib::ValueBase& value, double y);
  void bindArtwork(const PlaylistNode& node, bool current);
  void bindLines(const PlaylistView::Row& row);
  Gtk::ProgressBar& progressBar();
  Gtk::Box& resumeLine();
  Gtk::Label& missingLine();
  void updateCheckDescription(const std::string& title, bool selected);

  PlaylistRowHost& host_;
  bool binding_ = false;
  std::optional<std::size_t> position_;
  std::optional<Uuid> id_;
  std::string url_;
  Gtk::CheckButton check_;
  PlaylistRowArtwork artwork_;
  Gtk::Box text_{Gtk::Orientation::VERTICAL, 2};
  Gtk::Label title_;
  Gtk::Label subtitle_;
  // Made the first time the row shows an item that has them.
  Gtk::ProgressBar* progress_ = nullptr;
  Gtk::Box* resume_ = nullptr;
  Gtk::Label* resumeLabel_ = nullptr;
  Gtk::Label* missing_ = nullptr;
  Gtk::Button moveButton_;
  Gtk::Button moreButton_;
};

}  // namespace orvel
