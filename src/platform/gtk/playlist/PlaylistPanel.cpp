// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistPanel.h"

#include "core/Log.h"
#include "core/Translation.h"
#include "platform/gtk/WindowPresenting.h"
#include "platform/gtk/playlist/PlaylistContentRow.h"
#include "platform/system/DesktopLaunch.h"

namespace orvel {
namespace {

using Row = PlaylistView::Row;
using Ids = PlaylistView::Ids;

}  // namespace

PlaylistPanel::PlaylistPanel(Inputs inputs)
    : inputs_(std::move(inputs)),
      model_(modelInputs(), modelDependencies()),
      addBar_(model_, {.chooseFiles = [this](bool folders) { files_.chooseFiles(folders); },
                       .stopImport = [this] { files_.stopImport(); }}),
      footer_(model_, *actions_, [this] { done(); }) {
  window_.insert_action_group("panel", actions_);
  buildWindow();
  modelChanges_ = model_.observeChanges([this] { refresh(); });
  metadataChanges_ =
      inputs_.metadata.observeChanges([this](const std::string& url) { metadataChanged(url); });
  model_.appear();
}

PlaylistPanel::~PlaylistPanel() {
  modelChanges_.cancel();
  metadataChanges_.cancel();
  // Before the tree it hangs from comes down.
  menu_.detach();
  // The rows unbind while the window's tree comes down: that needs the panel still whole.
  summaryUpdate_.disconnect();
  summing_.disconnect();
  indexing_.disconnect();
  window_.unset_child();
  boundRows_.clear();
}

PlaylistView::Inputs PlaylistPanel::modelInputs() {
  PlaylistView::Inputs inputs = inputs_.view;
  // Every edit the model makes goes through here: the rows are redrawn after it.
  inputs.setLibrary = [this, set = inputs_.view.setLibrary](PlaylistView::Nodes library) {
    rowsStale_ = true;
    set(std::move(library));
  };
  return inputs;
}

PlaylistView::Dependencies PlaylistPanel::modelDependencies() {
  return {
      .defaults = inputs_.defaults,
      .registry = StreamingProviderRegistry::shared(),
      .metadata = &inputs_.metadata,
      .trash = PlaylistTrash::moveToTrash,
      .fileExists = {},
      .copyToClipboard =
          [this](const std::string& text) { window_.get_clipboard()->set_text(text); },
      .showInFiles = &showInFileManager,
  };
}

void PlaylistPanel::present() {
  presentWindow(window_);
  std::string shown = "Playlist shown at " + model_.folderTitle(model_.folderID());
  if (const auto current = model_.currentItemID()) {
    if (const PlaylistNode* item = PlaylistTree::find(model_.library(), *current)) {
      shown += ", playing " + model_.displayTitle(*item);
    }
  }
  logLine("Player", shown);
  if (list_) {
    list_->grab_focus();
  }
}

void PlaylistPanel::libraryChanged() {
  rowsStale_ = true;
  model_.libraryChanged();
}

void PlaylistPanel::currentItemChanged() {
  rowsStale_ = true;
  model_.currentItemChanged();
}

void PlaylistPanel::done() {
  if (inputs_.onDone) {
    inputs_.onDone();
  }
}

// MARK: - Building

void PlaylistPanel::buildWindow() {
  window_.set_title(_("Playlist"));
  window_.set_transient_for(inputs_.parent);
  window_.set_destroy_with_parent(true);
  window_.set_default_size(1040, 640);
  window_.set_size_request(720, 440);
  window_.add_css_class("orvel-playlist");
  window_.signal_close_request().connect(
      [this] {
        done();
        return true;
      },
      false);
  auto* root = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
  buildHeader(*root);
  auto* body = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  body->set_vexpand(true);
  body->append(sidebar_.widget());
  buildContent(*body);
  root->append(*body);
  addBar_.appendTo(*root);
  root->append(footer_.widget());
  window_.set_child(*root);
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint key, guint, Gdk::ModifierType) { return windowKeyPressed(key); }, false);
  window_.add_controller(keys);
}

// Escape empties the search first, and closes the panel once it is empty.
bool PlaylistPanel::windowKeyPressed(guint key) {
  if (key != GDK_KEY_Escape) {
    return false;
  }
  if (!model_.query().empty() || !search_.get_text().empty()) {
    search_.set_text("");
    model_.setQuery("");
  } else {
    done();
  }
  return true;
}

void PlaylistPanel::buildHeader(Gtk::Box& root) {
  auto* header = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 12);
  header->add_css_class("orvel-playlist-header");
  auto* title = Gtk::make_managed<Gtk::Label>(_("Playlist"));
  title->add_css_class("orvel-playlist-heading");
  header->append(*title);
  summary_.add_css_class("orvel-playlist-summary");
  summary_.set_xalign(0);
  summary_.set_hexpand(true);
  summary_.set_ellipsize(Pango::EllipsizeMode::END);
  header->append(summary_);
  root.append(*header);
}

void PlaylistPanel::buildContent(Gtk::Box& body) {
  auto* content = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 0);
  content->set_hexpand(true);
  auto* bar = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
  bar->add_css_class("orvel-detail-header");
  crumbs_.set_hexpand(true);
  crumbs_.add_css_class("orvel-crumbs");
  bar->append(crumbs_);
  // The open folder's own play buttons: from where it stopped, and from its first video.
  playScope_.set_label(_("Play"));
  playScope_.set_has_frame(false);
  playScope_.signal_clicked().connect([this] { model_.playScope(); });
  bar->append(playScope_);
  playFromBeginning_.set_label(_("Play from the beginning"));
  playFromBeginning_.set_has_frame(false);
  playFromBeginning_.signal_clicked().connect([this] { model_.playScopeFromBeginning(); });
  bar->append(playFromBeginning_);
  buildSearch(*bar);
  content->append(*bar);

  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_child(buildList());
  scroller->set_vexpand(true);
  scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  contentStack_.add(*scroller, "list");
  contentStack_.add(buildEmptyState(), "empty");
  contentStack_.set_vexpand(true);
  content->append(contentStack_);
  body.append(*content);
}

void PlaylistPanel::buildSearch(Gtk::Box& bar) {
  auto* searchBox = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 0);
  searchBox->add_css_class("linked");
  search_.set_icon_from_icon_name("system-search-symbolic", Gtk::Entry::IconPosition::PRIMARY);
  search_.set_size_request(220, -1);
  setAccessibleLabel(search_, _("Search this folder"));
  // Text replaced at once (a paste over a selection, an undo) changes twice, emptied and then
  // filled: the rows follow the text once, before the next frame is drawn.
  search_.signal_changed().connect([this] {
    if (searchQueued_) {
      return;
    }
    searchQueued_ = true;
    later_.post(
        [this] {
          searchQueued_ = false;
          if (search_.get_text().raw() != model_.query()) {
            model_.setQuery(search_.get_text());
          }
        },
        Glib::PRIORITY_HIGH_IDLE);
  });
  searchBox->append(search_);
  clearSearch_.set_icon_name(iconName("xmark.circle.fill"));
  clearSearch_.set_has_frame(false);
  describe(clearSearch_, _("Clear search"), _("Clear search"));
  clearSearch_.signal_clicked().connect([this] {
    search_.set_text("");
    model_.setQuery("");
    search_.grab_focus();
  });
  searchBox->append(clearSearch_);
  bar.append(*searchBox);
}

Gtk::Widget& PlaylistPanel::buildList() {
  positions_ = PositionList::create();
  selection_ = Gtk::MultiSelection::create(positions_);
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_setup().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    PlaylistRowHost& host = *this;
    item->set_child(*Gtk::make_managed<PlaylistContentRow>(host));
  });
  factory->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    auto* row = static_cast<PlaylistContentRow*>(item->get_child());
    const std::size_t position = item->get_position();
    if (position < rows_.size()) {
      row->bind(rowAt(position), position);
      boundRows_.insert(row);
    }
  });
  factory->signal_unbind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    auto* row = static_cast<PlaylistContentRow*>(item->get_child());
    row->unbind();
    boundRows_.erase(row);
  });
  // A grid of one column: it keeps row widgets for about 30 rows around the view, where a list
  // view keeps 200, so a search that changes the row count makes and drops few of them.
  list_ = Gtk::make_managed<Gtk::GridView>(selection_, factory);
  list_->set_min_columns(1);
  list_->set_max_columns(1);
  list_->add_css_class("orvel-playlist-list");
  setAccessibleLabel(*list_, _("Videos"));
  list_->signal_activate().connect([this](guint position) {
    // The primary action goes to the first selected row, else the one activated.
    const Ids& selected = model_.selection();
    for (const PlaylistNode* row : rows_) {
      if (selected.contains(row->id)) {
        model_.activate(row->id);
        return;
      }
    }
    if (position < rows_.size()) {
      model_.activate(rows_[position]->id);
    }
  });
  selection_->signal_selection_changed().connect([this](guint, guint) { selectionChanged(); });
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint key, guint, Gdk::ModifierType state) { return listKeyPressed(key, state); },
      false);
  list_->add_controller(keys);
  return *list_;
}

bool PlaylistPanel::listKeyPressed(guint key, Gdk::ModifierType state) {
  if (key == GDK_KEY_Delete || key == GDK_KEY_KP_Delete || key == GDK_KEY_BackSpace) {
    model_.remove(model_.selection());
    return true;
  }
  // The context menu of the selection, at its first row.
  const bool shifted = (state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK;
  if (key == GDK_KEY_Menu || (key == GDK_KEY_F10 && shifted)) {
    for (PlaylistContentRow* row : boundRows_) {
      if (row->position() && isSelected(*row->position())) {
        showContextMenu(*row, row->get_width() / 2.0, row->get_height() / 2.0, model_.selection());
        return true;
      }
    }
  }
  return false;
}

Gtk::Widget& PlaylistPanel::buildEmptyState() {
  auto* empty = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
  empty->set_valign(Gtk::Align::CENTER);
  empty->add_css_class("orvel-empty-state");
  emptyTitle_.add_css_class("orvel-empty-title");
  emptyMessage_.add_css_class("orvel-empty-message");
  emptyMessage_.set_justify(Gtk::Justification::CENTER);
  empty->append(emptyTitle_);
  empty->append(emptyMessage_);
  return *empty;
}

// MARK: - Redrawing

void PlaylistPanel::refresh() {
  const auto folder = model_.folderID();
  if (rowsStale_ || folder != shownFolder_ || model_.query() != shownQuery_) {
    // The first rows shown count as a new folder, All Videos (no folder) too.
    const bool folderChanged = !shownOnce_ || folder != shownFolder_;
    shownOnce_ = true;
    // A keystroke in the search field changes the rows alone.
    const bool onlySearch = !rowsStale_ && !folderChanged;
    const bool contentChanged = rowsStale_;
    rowsStale_ = false;
    shownFolder_ = folder;
    shownQuery_ = model_.query();
    refreshRows(contentChanged);
    if (!onlySearch) {
      sidebar_.refresh(folder);
      refreshBreadcrumb();
      refreshScope();
    }
    if (folderChanged) {
      scrollToResumeRow();
    }
  }
  applySelection();
  refreshControls();
  questions_.sync();
}

// The row to resume from comes into view once the list has its new rows and a size: a list not
// yet shown loses the scroll.
void PlaylistPanel::scrollToResumeRow() {
  list_->add_tick_callback([this](const Glib::RefPtr<Gdk::FrameClock>&) {
    if (!list_->get_mapped() || list_->get_height() <= 0) {
      return true;
    }
    for (std::size_t position = 0; position < rows_.size(); ++position) {
      if (rows_[position]->id == resumeID_) {
        list_->activate_action("list.scroll-to-item",
                               Glib::Variant<guint32>::create(static_cast<guint32>(position)));
        break;
      }
    }
    return false;
  });
}

void PlaylistPanel::refreshRows(bool contentChanged) {
  rows_ = model_.visibleNodes();
  resumeID_ = model_.visibleResumeID();
  // The list's entries stand for positions, so only the count changes: a search or an edit
  // rebinds the rows on screen instead of making new ones.
  syncingSelection_ = true;
  positions_->setCount(static_cast<guint>(rows_.size()));
  syncingSelection_ = false;
  for (PlaylistContentRow* row : boundRows_) {
    const auto position = row->position();
    if (position && *position < rows_.size() &&
        (contentChanged || row->id() != rows_[*position]->id)) {
      row->bind(rowAt(*position), *position);
    }
  }
  const auto empty = model_.emptyState(!rows_.empty());
  if (empty) {
    setText(emptyTitle_, empty->title);
    setText(emptyMessage_, empty->message);
  }
  showStackPage(contentStack_, empty ? "empty" : "list");
  // An empty list takes no keyboard focus: it would keep it, and Tab would lead nowhere.
  list_->set_can_focus(!rows_.empty());
  // Only rows on screen stay selected: the footer's actions never reach a row out of sight.
  Ids shown;
  for (const PlaylistNode* row : rows_) {
    if (model_.selection().contains(row->id)) {
      shown.insert(row->id);
    }
  }
  if (shown.size() != model_.selection().size()) {
    model_.setSelection(std::move(shown));
  }
}

void PlaylistPanel::refreshBreadcrumb() {
  while (Gtk::Widget* child = crumbs_.get_first_child()) {
    crumbs_.remove(*child);
  }
  const auto crumbs = model_.breadcrumb();
  for (std::size_t index = 0; index < crumbs.size(); ++index) {
    if (index > 0) {
      auto* chevron = Gtk::make_managed<Gtk::Image>();
      chevron->set_from_icon_name(iconName("chevron.right"));
      chevron->add_css_class("orvel-crumb-chevron");
      crumbs_.append(*chevron);
    }
    if (index + 1 == crumbs.size()) {
      auto* label = Gtk::make_managed<Gtk::Label>(crumbs[index].title);
      label->add_css_class("orvel-crumb-current");
      label->set_ellipsize(Pango::EllipsizeMode::END);
      crumbs_.append(*label);
    } else {
      auto* button = Gtk::make_managed<Gtk::Button>(crumbs[index].title);
      button->set_has_frame(false);
      button->add_css_class("orvel-crumb");
      button->signal_clicked().connect(
          [this, folder = crumbs[index].folder] { model_.openFolder(folder); });
      crumbs_.append(*button);
    }
  }
}

// What depends on the library and the open folder, and not on the search or the selection.
void PlaylistPanel::refreshScope() {
  refreshSummary();
  prepareSearch();
  const std::string playLabel = formatted(_("Play %s"), {model_.folderTitle(model_.folderID())});
  describe(playScope_, playLabel, playLabel);
  for (Gtk::Button* play : {&playScope_, &playFromBeginning_}) {
    play->set_visible(model_.folderID().has_value());
    play->set_sensitive(model_.canPlayScope());
  }
  footer_.refreshScope();
  addBar_.refreshScope();
  files_.refreshScope();
}

// The search's index of a large library is read on idle turns, a slice at a time, so that the
// first keystroke finds it ready and neither the first frame nor a scroll waits for it.
void PlaylistPanel::prepareSearch() {
  static constexpr std::size_t kSlice = 2000;
  indexing_.disconnect();
  indexing_ = Glib::signal_idle().connect([this] { return !model_.prepareSearch(kSlice); });
}

// A large library's total duration is added up on idle turns, a slice at a time, so that neither
// the panel's first frame nor a scroll waits for it. Until it is complete the header keeps what it
// showed, or shows the counts alone when it showed nothing yet.
void PlaylistPanel::refreshSummary() {
  // Each slice takes a few milliseconds when the items' links were never resolved before.
  static constexpr std::size_t kSlice = 2000;
  summing_.disconnect();
  const bool summed = model_.sumDurations(kSlice);
  if (summed || summary_.get_text().empty()) {
    setText(summary_, model_.headerSummary());
  }
  if (!summed) {
    summing_ = Glib::signal_idle().connect([this] {
      if (!model_.sumDurations(kSlice)) {
        return true;
      }
      setText(summary_, model_.headerSummary());
      return false;
    });
  }
}

void PlaylistPanel::refreshControls() {
  footer_.refreshControls();
  search_.set_placeholder_text(model_.searchPlaceholder());
  if (!searchQueued_ && search_.get_text().raw() != model_.query()) {
    search_.set_text(model_.query());
  }
  clearSearch_.set_visible(!model_.query().empty());
  addBar_.refreshError();
}

void PlaylistPanel::applySelection() {
  const Ids& wanted = model_.selection();
  auto selected = Gtk::Bitset::create();
  for (std::size_t position = 0; position < rows_.size(); ++position) {
    if (wanted.contains(rows_[position]->id)) {
      selected->add(static_cast<guint>(position));
    }
  }
  const auto current = selection_->get_selection();
  if (current->equals(selected)) {
    return;
  }
  auto everything = Gtk::Bitset::create();
  everything->add_range(0, static_cast<guint>(rows_.size()));
  syncingSelection_ = true;
  selection_->set_selection(selected, everything);
  syncingSelection_ = false;
  for (PlaylistContentRow* row : boundRows_) {
    row->updateSelected();
  }
}

void PlaylistPanel::selectionChanged() {
  for (PlaylistContentRow* row : boundRows_) {
    row->updateSelected();
  }
  if (syncingSelection_) {
    return;
  }
  Ids ids;
  const auto selected = selection_->get_selection();
  const guint64 count = selected->get_size();
  for (guint64 index = 0; index < count; ++index) {
    const guint position = selected->get_nth(static_cast<guint>(index));
    if (position < rows_.size()) {
      ids.insert(rows_[position]->id);
    }
  }
  model_.setSelection(std::move(ids));
}

// MARK: - Rows

bool PlaylistPanel::isSelected(std::size_t position) const {
  return selection_->is_selected(static_cast<guint>(position));
}

void PlaylistPanel::setSelected(std::size_t position, bool selected) {
  if (selected) {
    selection_->select_item(static_cast<guint>(position), false);
  } else {
    selection_->unselect_item(static_cast<guint>(position));
  }
}

PlaylistView::Row PlaylistPanel::rowAt(std::size_t position) const {
  return PlaylistRows::row(*rows_[position], position, resumeID_);
}

Ids PlaylistPanel::contextTargets(std::size_t position) const {
  if (position >= rows_.size()) {
    return {};
  }
  const Uuid& id = rows_[position]->id;
  // A right click on a selected row acts on the selection, elsewhere on that row alone.
  if (model_.selection().contains(id)) {
    return model_.selection();
  }
  return {id};
}

void PlaylistPanel::showContextMenu(Gtk::Widget& anchor, double x, double y, const Ids& ids) {
  menu_.showContextMenu(anchor, x, y, ids);
}

void PlaylistPanel::showMoveMenu(Gtk::Widget& anchor, const Uuid& id) {
  menu_.showMoveMenu(anchor, id);
}

void PlaylistPanel::showActionsMenu(Gtk::Widget& anchor, const Uuid& id) {
  menu_.showActionsMenu(anchor, id);
}

void PlaylistPanel::dropRows(std::size_t from, std::size_t destination) {
  if (from >= rows_.size()) {
    return;
  }
  std::vector<std::size_t> offsets;
  if (isSelected(from)) {
    for (std::size_t position = 0; position < rows_.size(); ++position) {
      if (model_.selection().contains(rows_[position]->id)) {
        offsets.push_back(position);
      }
    }
  } else {
    offsets.push_back(from);
  }
  model_.moveRows(offsets, destination);
}

// MARK: - Artwork

void PlaylistPanel::metadataChanged(const std::string& url) {
  model_.metadataChanged(url);
  for (PlaylistContentRow* row : boundRows_) {
    if (row->url() == url && row->position() && *row->position() < rows_.size()) {
      row->bind(rowAt(*row->position()), *row->position());
    }
  }
  // Durations come in one by one while rows are drawn; the total is summed again once they pause.
  summaryUpdate_.disconnect();
  summaryUpdate_ = Glib::signal_timeout().connect(
      [this] {
        refreshSummary();
        return false;
      },
      250);
}

}  // namespace orvel
