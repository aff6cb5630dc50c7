// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Defaults.h"
#include "core/ObserverList.h"
#include "platform/gtk/GtkPlayerDialogs.h"
#include "platform/gtk/PositionList.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/X11Frames.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistMetadata.h"
#include "playlist/PlaylistView.h"

namespace orvel {

// The playlist panel: a window attached to the player window with the folder tree, the open
// folder's rows, the add bar and the footer. Everything it does goes through the panel model;
// the widgets only show it and report what the user did. One exists while the panel is shown.
class PlaylistPanel {
 public:
  struct Inputs {
    Gtk::Window& parent;
    PlaylistView::Inputs view;
    PlaylistMetadata& metadata;
    Defaults& defaults;
    // "Done", Escape or the window's close button.
    std::function<void()> onDone;
  };

  explicit PlaylistPanel(Inputs inputs);
  ~PlaylistPanel();
  PlaylistPanel(const PlaylistPanel&) = delete;
  PlaylistPanel& operator=(const PlaylistPanel&) = delete;

  void present();
  // The library or the item playing changed elsewhere.
  void libraryChanged();
  Gtk::Window& window() { return window_; }

 private:
  class ContentRow;
  class SidebarRow;
  struct SidebarEntry {
    std::optional<Uuid> id;
    std::string title;
    int depth = 0;
    bool hasSubfolders = false;
    bool isExpanded = true;
    std::size_t count = 0;
    bool isPlaying = false;
    bool hasResume = false;
    bool operator==(const SidebarEntry&) const = default;
  };

  void buildHeader(Gtk::Box& root);
  void buildSidebar(Gtk::Box& body);
  void buildContent(Gtk::Box& body);
  void buildAddBar(Gtk::Box& root);
  void buildFooter(Gtk::Box& root);
  void buildActions();

  // Redraws what the model's last change touched: the rows only when the library, the open
  // folder or the search changed, the controls always.
  void refresh();
  // `contentChanged`: what the rows show may differ even where the same items stay in place.
  void refreshRows(bool contentChanged);
  void scrollToResumeRow();
  void refreshSidebar();
  void refreshScope();
  void refreshControls();
  void refreshBreadcrumb();
  void applySelection();
  void syncDialogs();
  void confirm(bool& shown, const Alert& alert, std::function<void()> confirmed,
               std::function<void()> cancelled);
  void selectionChanged();

  void showContextMenu(Gtk::Widget& anchor, double x, double y, const PlaylistView::Ids& ids);
  // Pops the panel's one menu up at `at` inside `anchor`, or below the whole anchor.
  void showMenu(Gtk::Widget& anchor, const Glib::RefPtr<Gio::MenuModel>& model,
                std::optional<Gdk::Rectangle> at = std::nullopt);
  Glib::RefPtr<Gio::Menu> menuModel(const std::vector<PlaylistView::MenuEntry>& entries,
                                    const PlaylistView::Ids& ids);
  Glib::RefPtr<Gio::Menu> moveMenuModel(const Uuid& id);
  PlaylistView::Ids contextTargets(std::size_t position) const;
  void dropRows(std::size_t from, std::size_t destination);

  void chooseFiles(bool folders);
  void addChosenFiles(std::vector<Url> chosen);
  void setAdding(bool adding, const std::string& what = "Adding files…");
  void chooseImport();
  void startImport(const std::string& path);
  void stopImport();
  void chooseExport();
  void runChooser(const Glib::RefPtr<Gtk::FileChooserNative>& chooser,
                  std::function<void(const Glib::RefPtr<Gtk::FileChooserNative>&)> accepted);
  void metadataChanged(const std::string& url);

  Inputs inputs_;
  // Work finished on other threads finds the panel through this, or finds it gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  Gtk::Window window_;
  // Kept whole on its screen each time it shows.
  ScreenKeeping onScreen_{window_};
  GtkPlayerDialogs dialogs_{window_};
  std::unique_ptr<PlaylistView> model_;
  ObserverToken modelChanges_;
  ObserverToken metadataChanges_;

  // What the shown rows were made from; a change of any of these rebuilds them.
  bool rowsStale_ = true;
  std::optional<Uuid> shownFolder_;
  bool shownOnce_ = false;
  std::string shownQuery_;
  std::string shownExportTitle_;
  std::vector<PlaylistView::Row> rows_;
  std::vector<std::vector<PlaylistView::Row>> retiredRows_;
  std::vector<SidebarEntry> sidebar_;
  bool syncingSelection_ = false;
  bool syncingSidebar_ = false;
  bool searchQueued_ = false;
  bool renameShown_ = false;
  bool trashShown_ = false;
  bool clearShown_ = false;
  std::set<ContentRow*> boundRows_;
  sigc::connection summaryUpdate_;
  LaterTurns later_;

  // The entries of the menu on screen, by the index its items carry.
  std::vector<PlaylistView::MenuEntry> menuEntries_;
  PlaylistView::Ids menuTargets_;
  Glib::RefPtr<Gio::SimpleActionGroup> actions_;
  Glib::RefPtr<Gio::SimpleAction> shuffleRemainingAction_;
  Glib::RefPtr<Gio::SimpleAction> exportAction_;
  Gtk::PopoverMenu contextMenu_;
  Glib::RefPtr<Gtk::FileChooserNative> chooser_;

  Gtk::Label summary_;
  Glib::RefPtr<Gtk::StringList> sidebarStore_;
  Glib::RefPtr<Gtk::SingleSelection> sidebarSelection_;
  Gtk::ListView* sidebarList_ = nullptr;
  Gtk::Box crumbs_{Gtk::Orientation::HORIZONTAL, 2};
  Gtk::Button playFromBeginning_;
  Gtk::Entry search_;
  Gtk::Button clearSearch_;
  Gtk::Stack contentStack_;
  // One entry per row: the list keeps its row widgets while the rows change under them.
  Glib::RefPtr<PositionList> positions_;
  Glib::RefPtr<Gtk::MultiSelection> selection_;
  Gtk::GridView* list_ = nullptr;
  Gtk::Label emptyTitle_;
  Gtk::Label emptyMessage_;
  Gtk::Entry urlField_;
  Gtk::Button addURL_;
  Gtk::Button addFiles_;
  Gtk::Button addFolder_;
  Gtk::Spinner adding_;
  Gtk::Label addingText_;
  Gtk::Button stopAdding_;
  // The import running on a thread of its own, while it runs; its progress shows every 250 ms.
  std::shared_ptr<PlaylistLibrary::ImportProgress> importing_;
  sigc::connection importProgressTimer_;
  Gtk::Button newFolder_;
  Gtk::MenuButton importExport_;
  Gtk::Box errorRow_{Gtk::Orientation::HORIZONTAL, 6};
  Gtk::Label errorText_;
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
