// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Url.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/playlist/PlaylistAddBar.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// The playlist panel's file choosers: files and folders to add, M3U playlists to import and the
// open folder to export. Files are read and playlists imported on a thread of their own while
// the add bar shows it; what they found joins the playlist on the main loop.
class PlaylistFiles {
 public:
  // The import and export actions join `actions`, the panel's group.
  PlaylistFiles(Gtk::Window& window, PlaylistView& model, PlaylistAddBar& addBar,
                Gio::SimpleActionGroup& actions);
  // Stops an import and closes a chooser still open.
  ~PlaylistFiles();
  PlaylistFiles(const PlaylistFiles&) = delete;
  PlaylistFiles& operator=(const PlaylistFiles&) = delete;

  void chooseFiles(bool folders);
  void stopImport();
  // Export is offered while the open folder has videos.
  void refreshScope();

 private:
  void addChosenFiles(std::vector<Url> chosen);
  void chooseImport();
  void startImport(const std::string& path);
  void chooseExport();
  void runChooser(const Glib::RefPtr<Gtk::FileChooserNative>& chooser,
                  std::function<void(const Glib::RefPtr<Gtk::FileChooserNative>&)> accepted);

  Gtk::Window& window_;
  PlaylistView& model_;
  PlaylistAddBar& addBar_;
  Glib::RefPtr<Gio::SimpleAction> exportAction_;
  Glib::RefPtr<Gtk::FileChooserNative> chooser_;
  // Work finished on other threads finds this through it, or finds it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // The import running on a thread of its own, while it runs; its progress shows every 250 ms.
  std::shared_ptr<PlaylistLibrary::ImportProgress> importing_;
  sigc::connection importProgressTimer_;
  LaterTurns later_;
};

}  // namespace orvel
