// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/Uuid.h"
#include "platform/gtk/playlist/PlaylistRowHost.h"

namespace orvel {

// The playlist panel's sidebar: "All Videos" and the folder tree, the open folder selected.
// Selecting an entry opens its folder; activating it plays the folder.
class PlaylistSidebar {
 public:
  explicit PlaylistSidebar(PlaylistRowHost& host);
  PlaylistSidebar(const PlaylistSidebar&) = delete;
  PlaylistSidebar& operator=(const PlaylistSidebar&) = delete;

  Gtk::Widget& widget() { return scroller_; }
  // Shows the model's folders, with `open` selected.
  void refresh(const std::optional<Uuid>& open);

 private:
  class Row;
  struct Entry {
    std::optional<Uuid> id;
    std::string title;
    int depth = 0;
    bool hasSubfolders = false;
    bool isExpanded = true;
    std::size_t count = 0;
    bool isPlaying = false;
    bool hasResume = false;
    bool operator==(const Entry&) const = default;
  };

  std::vector<Entry> entries() const;

  PlaylistRowHost& host_;
  std::vector<Entry> entries_;
  // Set while the panel selects the open folder, which is no choice of the user's.
  bool syncing_ = false;
  Glib::RefPtr<Gtk::StringList> store_;
  Glib::RefPtr<Gtk::SingleSelection> selection_;
  Gtk::ScrolledWindow scroller_;
};

}  // namespace orvel
