// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

#include "platform/gtk/GtkPlayerDialogs.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// The playlist panel's questions: the rename prompt and the confirmations to move a file to the
// Trash and to clear the playlist, each shown once while the model asks for it.
class PlaylistDialogs {
 public:
  PlaylistDialogs(GtkPlayerDialogs& dialogs, PlaylistView& model);
  PlaylistDialogs(const PlaylistDialogs&) = delete;
  PlaylistDialogs& operator=(const PlaylistDialogs&) = delete;

  // Shows what the model asks for now and is not up yet.
  void sync();

 private:
  void promptForRename();
  void confirm(bool& shown, const Alert& alert, std::function<void()> confirmed,
               std::function<void()> cancelled);

  GtkPlayerDialogs& dialogs_;
  PlaylistView& model_;
  bool renameShown_ = false;
  bool trashShown_ = false;
  bool clearShown_ = false;
};

}  // namespace orvel
