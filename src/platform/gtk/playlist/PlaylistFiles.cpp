// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistFiles.h"

#include <thread>

#include "core/Translation.h"
#include "platform/gtk/WindowPresenting.h"

namespace orvel {
namespace {

// Runs the work on a thread of its own, then what it returns on the main loop.
void runOffMainLoop(std::function<std::function<void()>()> work) {
  std::thread([work = std::move(work)] {
    auto* done = new std::function<void()>(work());
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer turn) -> gboolean {
          (*static_cast<std::function<void()>*>(turn))();
          return G_SOURCE_REMOVE;
        },
        done, [](gpointer turn) { delete static_cast<std::function<void()>*>(turn); });
  }).detach();
}

Glib::RefPtr<Gtk::FileFilter> playlistFilter(bool m3u8) {
  auto playlists = Gtk::FileFilter::create();
  playlists->set_name(_("M3U playlists"));
  playlists->add_suffix("m3u");
  if (m3u8) {
    playlists->add_suffix("m3u8");
  }
  return playlists;
}

}  // namespace

PlaylistFiles::PlaylistFiles(Gtk::Window& window, PlaylistView& model, PlaylistAddBar& addBar,
                             Gio::SimpleActionGroup& actions)
    : window_(window), model_(model), addBar_(addBar) {
  actions.add_action("import", [this] { chooseImport(); });
  exportAction_ = actions.add_action("export", [this] { chooseExport(); });
}

PlaylistFiles::~PlaylistFiles() {
  if (importing_) {
    importing_->cancelled = true;
  }
  importProgressTimer_.disconnect();
  if (chooser_) {
    chooser_->hide();
  }
}

void PlaylistFiles::refreshScope() {
  exportAction_->set_enabled(model_.itemCount(model_.folderID()) > 0);
}

void PlaylistFiles::runChooser(
    const Glib::RefPtr<Gtk::FileChooserNative>& chooser,
    std::function<void(const Glib::RefPtr<Gtk::FileChooserNative>&)> accepted) {
  chooser_ = chooser;
  chooser->set_modal(true);
  chooser->signal_response().connect([this, chooser, accepted](int response) {
    if (response == Gtk::ResponseType::ACCEPT) {
      accepted(chooser);
    }
    chooser->hide();
    if (chooser_ == chooser) {
      // Released on a later turn: the response handler is still running on it.
      later_.post([this, chooser] {
        if (chooser_ == chooser) {
          chooser_.reset();
        }
      });
    }
  });
  presentWindow(window_);
  chooser->show();
}

void PlaylistFiles::chooseFiles(bool folders) {
  auto chooser = Gtk::FileChooserNative::create(
      folders ? _("Choose folders to add as playlist folders.")
              : _("Choose videos to add to the playlist."),
      window_, folders ? Gtk::FileChooser::Action::SELECT_FOLDER : Gtk::FileChooser::Action::OPEN,
      _("Add to Playlist"), _("Cancel"));
  chooser->set_select_multiple(true);
  if (!folders) {
    auto videos = Gtk::FileFilter::create();
    videos->set_name(_("MP4, WebM and MKV videos"));
    for (std::string_view extension : PlaylistLibrary::mediaExtensions) {
      videos->add_suffix(std::string(extension));
    }
    chooser->add_filter(videos);
  }
  runChooser(chooser, [this](const Glib::RefPtr<Gtk::FileChooserNative>& done) {
    std::vector<Url> chosen;
    auto files = done->get_files();
    for (guint index = 0; index < files->get_n_items(); ++index) {
      auto file = std::dynamic_pointer_cast<Gio::File>(files->get_object(index));
      if (!file) {
        continue;
      }
      if (auto url = Url::parse(file->get_uri()); url && url->isFileURL()) {
        chosen.push_back(*url);
      }
    }
    addChosenFiles(std::move(chosen));
  });
}

// A folder of thousands of files takes a while to read: it is read on a thread of its own while
// the add bar says so, and what it found joins the playlist on the main loop, unless the panel
// has gone by then.
void PlaylistFiles::addChosenFiles(std::vector<Url> chosen) {
  addBar_.setAdding(true);
  std::weak_ptr<bool> alive = alive_;
  PlaylistFiles* files = this;
  runOffMainLoop([alive, files, chosen = std::move(chosen)] {
    return std::function<void()>(
        [alive, files, found = PlaylistView::nodesForFiles(chosen)]() mutable {
          if (alive.lock()) {
            files->addBar_.setAdding(false);
            files->model_.addFiles(std::move(found));
          }
        });
  });
}

void PlaylistFiles::chooseImport() {
  auto chooser = Gtk::FileChooserNative::create(
      _("Import M3U Playlist"), window_, Gtk::FileChooser::Action::OPEN, _("Import"), _("Cancel"));
  chooser->add_filter(playlistFilter(true));
  runChooser(chooser, [this](const Glib::RefPtr<Gtk::FileChooserNative>& done) {
    if (auto file = done->get_file()) {
      startImport(file->get_path());
    }
  });
}

// A playlist file of a hundred thousand entries takes seconds to read: it is read on a thread of
// its own while the add bar shows how far it got and offers to stop, and the folder it makes
// joins the playlist on the main loop, unless the import was stopped or the panel has gone.
void PlaylistFiles::startImport(const std::string& path) {
  auto progress = std::make_shared<PlaylistLibrary::ImportProgress>();
  importing_ = progress;
  addBar_.startImport(Glib::filename_display_basename(path));
  importProgressTimer_ = Glib::signal_timeout().connect(
      [this, progress] {
        addBar_.showImportProgress(progress->percent.load());
        return true;
      },
      250);
  std::weak_ptr<bool> alive = alive_;
  PlaylistFiles* files = this;
  runOffMainLoop([alive, files, progress, path] {
    return std::function<void()>(
        [alive, files, progress,
         imported = PlaylistLibrary::importM3U(path, PlaylistLinkResolver::shared(),
                                               progress.get())]() mutable {
          if (alive.lock() && files->importing_ == progress) {
            files->stopImport();
            files->model_.addImported(std::move(imported));
          }
        });
  });
}

void PlaylistFiles::stopImport() {
  if (importing_) {
    importing_->cancelled = true;
    importing_.reset();
  }
  importProgressTimer_.disconnect();
  addBar_.endImport();
}

void PlaylistFiles::chooseExport() {
  auto chooser = Gtk::FileChooserNative::create(
      model_.exportMenuTitle(), window_, Gtk::FileChooser::Action::SAVE, _("Export"), _("Cancel"));
  chooser->set_current_name(model_.exportFileName());
  chooser->add_filter(playlistFilter(false));
  runChooser(chooser, [this](const Glib::RefPtr<Gtk::FileChooserNative>& done) {
    if (auto file = done->get_file()) {
      model_.exportM3U(file->get_path());
    }
  });
}

}  // namespace orvel
