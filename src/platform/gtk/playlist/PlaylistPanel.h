// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/Defaults.h"
#include "core/ObserverList.h"
#include "platform/gtk/GtkPlayerDialogs.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/X11Frames.h"
#include "platform/gtk/playlist/PlaylistAddBar.h"
#include "platform/gtk/playlist/PlaylistDialogs.h"
#include "platform/gtk/playlist/PlaylistFiles.h"
#include "platform/gtk/playlist/PlaylistFooter.h"
#include "platform/gtk/playlist/PlaylistMenu.h"
#include "platform/gtk/playlist/PlaylistRowHost.h"
#include "platform/gtk/playlist/PlaylistSidebar.h"
#include "platform/gtk/playlist/PositionList.h"
#include "playlist/PlaylistMetadata.h"
#include "playlist/PlaylistView.h"

namespace orvel {

class PlaylistContentRow;

// The playlist panel: a window attached to the player window with the folder tree, the open
// folder's rows, the add bar and the footer. Everything it does goes through the panel model;
// the widgets only show it and report what the user did. One exists while the panel is shown.
// It holds the content list itself; the sidebar, menus, add bar, file choosers, footer and
// questions are parts of their own.
class PlaylistPanel : private PlaylistRowHost {
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
  // The library changed elsewhere.
  void libraryChanged();
  // The item playing changed; the library is the same.
  void currentItemChanged();
  void repeatChanged() { model_.repeatChanged(); }
  Gtk::Window& window() { return window_; }

 private:
  // What the rows ask of the panel.
  PlaylistView& model() override { return model_; }
  PlaylistMetadata& metadata() override { return inputs_.metadata; }
  bool isSelected(std::size_t position) const override;
  void setSelected(std::size_t position, bool selected) override;
  PlaylistView::Row rowAt(std::size_t position) const;
  PlaylistView::Ids contextTargets(std::size_t position) const override;
  void showContextMenu(Gtk::Widget& anchor, double x, double y,
                       const PlaylistView::Ids& ids) override;
  void showMoveMenu(Gtk::Widget& anchor, const Uuid& id) override;
  void showActionsMenu(Gtk::Widget& anchor, const Uuid& id) override;
  void dropRows(std::size_t from, std::size_t destination) override;

  PlaylistView::Inputs modelInputs();
  PlaylistView::Dependencies modelDependencies();
  void buildWindow();
  void buildHeader(Gtk::Box& root);
  void buildContent(Gtk::Box& body);
  void buildSearch(Gtk::Box& bar);
  Gtk::Widget& buildList();
  Gtk::Widget& buildEmptyState();
  bool listKeyPressed(guint key, Gdk::ModifierType state);
  bool windowKeyPressed(guint key);
  void done();

  // Redraws what the model's last change touched: the rows only when the library, the open
  // folder or the search changed, the controls always.
  void refresh();
  // `contentChanged`: what the rows show may differ even where the same items stay in place.
  void refreshRows(bool contentChanged);
  void scrollToResumeRow();
  void refreshScope();
  void refreshSummary();
  void prepareSearch();
  void refreshControls();
  void refreshBreadcrumb();
  void applySelection();
  void selectionChanged();
  void metadataChanged(const std::string& url);

  Inputs inputs_;
  Gtk::Window window_;
  // Kept whole on its screen each time it shows.
  ScreenKeeping onScreen_{window_};
  GtkPlayerDialogs dialogs_{window_};
  PlaylistView model_;
  // The "panel" actions: the menu's entries, shuffle, import and export.
  Glib::RefPtr<Gio::SimpleActionGroup> actions_ = Gio::SimpleActionGroup::create();
  PlaylistMenu menu_{window_, model_, *actions_};
  PlaylistSidebar sidebar_{*this};
  PlaylistAddBar addBar_;
  PlaylistFiles files_{window_, model_, addBar_, *actions_};
  PlaylistFooter footer_;
  PlaylistDialogs questions_{dialogs_, model_};
  ObserverToken modelChanges_;
  ObserverToken metadataChanges_;

  // What the shown rows were made from; a change of any of these rebuilds them.
  bool rowsStale_ = true;
  std::optional<Uuid> shownFolder_;
  bool shownOnce_ = false;
  std::string shownQuery_;
  // The nodes shown, in the library: every change of the library comes through `refresh` before
  // the next frame binds a row, so none of them is read after it is gone. Rows are made from them
  // as they are bound, so a search of 100,000 items copies none of them.
  std::vector<const PlaylistNode*> rows_;
  std::optional<Uuid> resumeID_;
  bool syncingSelection_ = false;
  bool searchQueued_ = false;
  std::set<PlaylistContentRow*> boundRows_;
  sigc::connection summaryUpdate_;
  sigc::connection summing_;
  sigc::connection indexing_;
  LaterTurns later_;

  Gtk::Label summary_;
  Gtk::Box crumbs_{Gtk::Orientation::HORIZONTAL, 2};
  Gtk::Button playScope_;
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
};

}  // namespace orvel
