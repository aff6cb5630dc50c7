// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <string>

#include "playlist/PlaylistView.h"

namespace orvel {

// The playlist panel's add bar: the link field, Add Files, Add Folder, New Folder and the
// import and export menu, with the progress of files being added below them, and the row that
// shows the model's last error.
class PlaylistAddBar {
 public:
  struct Actions {
    // Add Files (`folders` false) or Add Folder.
    std::function<void(bool folders)> chooseFiles;
    std::function<void()> stopImport;
  };

  PlaylistAddBar(PlaylistView& model, Actions actions);
  PlaylistAddBar(const PlaylistAddBar&) = delete;
  PlaylistAddBar& operator=(const PlaylistAddBar&) = delete;

  // The bar and the error row below it.
  void appendTo(Gtk::Box& root);
  // What depends on the open folder: the title of the export entry.
  void refreshScope();
  void refreshError();
  // While files are read or a playlist imported, the buttons that would add more wait.
  // `what` is said while it lasts; empty, "Adding files…".
  void setAdding(bool adding, const std::string& what = {});
  // An import shows how far it got and offers to stop until it ends.
  void startImport(const std::string& fileName);
  void showImportProgress(int percent);
  void endImport();

 private:
  void buildButtons(Gtk::Box& bar);
  void buildErrorRow();
  void submit();

  PlaylistView& model_;
  Actions actions_;
  std::string shownExportTitle_;
  Gtk::Box bar_{Gtk::Orientation::HORIZONTAL, 6};
  Gtk::Entry urlField_;
  Gtk::Button addURL_;
  Gtk::Button addFiles_;
  Gtk::Button addFolder_;
  Gtk::Spinner adding_;
  Gtk::Label addingText_;
  Gtk::Button stopAdding_;
  Gtk::Button newFolder_;
  Gtk::MenuButton importExport_;
  Gtk::Box errorRow_{Gtk::Orientation::HORIZONTAL, 6};
  Gtk::Label errorText_;
};

}  // namespace orvel
