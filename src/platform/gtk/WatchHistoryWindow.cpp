// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/WatchHistoryWindow.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "app/WatchHistory.h"
#include "chrome/PlayerSymbols.h"
#include "core/Translation.h"
#include "platform/gtk/StarRatingView.h"
#include "platform/gtk/WidgetHelpers.h"
#include "platform/gtk/WindowPresenting.h"

namespace orvel {

// One video of the list; refreshed in place while the list keeps its order, so that a note
// being typed keeps its editor.
class WatchHistoryWindow::Row : public Gtk::Box {
 public:
  Row(WatchHistoryWindow& owner, const RecentVideoItem& record)
      : Gtk::Box(Gtk::Orientation::VERTICAL, 6),
        owner_(owner),
        videoID_(record.videoID),
        stars_([this](int stars) { owner_.settings_.setWatchLaterStars(videoID_, stars); }) {
    add_css_class("orvel-history-row");
    auto* line = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    thumbnail_.set_size_request(RecentThumbnails::kWidth, RecentThumbnails::kHeight);
    thumbnail_.set_valign(Gtk::Align::CENTER);
    thumbnail_.set_can_shrink(false);
    thumbnail_.add_css_class("orvel-history-thumbnail");
    line->append(thumbnail_);
    buildOpenButton(*line);
    buildNotesChip(*line);
    stars_.set_valign(Gtk::Align::CENTER);
    line->append(stars_);
    buildRemoveButton(*line);
    append(*line);
    buildNote();
    update();
  }

  void update() {
    const RecentVideoItem* record = current();
    if (!record) {
      return;
    }
    updating_ = true;
    const std::string title = record->title;
    if (title_.get_text().raw() != title) {
      title_.set_text(title);
      describe(open_, formatted(_("Open %s"), {title}), WatchHistory::openHelp(title));
    }
    resume_.set_text(WatchHistory::resumeText(record->lastPosition));
    stars_.setRating(record->watchLaterStars);
    const bool expanded = owner_.expandedNotes_.contains(videoID_);
    notesText_.set_text(expanded ? _("Collapse") : _("Notes"));
    setAccessibleLabel(notes_, expanded ? _("Collapse") : _("Notes"));
    gtk_accessible_update_state(GTK_ACCESSIBLE(notes_.gobj()), GTK_ACCESSIBLE_STATE_EXPANDED,
                                expanded, -1);
    dot_.set_visible(WatchHistory::hasNotes(owner_.settings_.watchHistoryVideos(), videoID_));
    noteScroller_.set_visible(expanded);
    const std::string note = WatchHistory::note(owner_.settings_.watchHistoryVideos(), videoID_);
    if (note_.get_buffer()->get_text().raw() != note) {
      note_.get_buffer()->set_text(note);
    }
    if (!picture_) {
      if (const auto* png = owner_.thumbnails_.png(videoID_)) {
        GBytes* bytes = g_bytes_new(png->data(), png->size());
        GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
        if (GdkPixbuf* pixbuf = gdk_pixbuf_new_from_stream(stream, nullptr, nullptr)) {
          thumbnail_.set_pixbuf(Glib::wrap(pixbuf));
          picture_ = true;
        }
        g_object_unref(stream);
        g_bytes_unref(bytes);
      }
    }
    updating_ = false;
  }

 private:
  // The title and resume point; a click plays the video from there.
  void buildOpenButton(Gtk::Box& line) {
    auto* text = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 2);
    title_.set_xalign(0);
    title_.set_wrap(true);
    title_.set_lines(2);
    title_.set_ellipsize(Pango::EllipsizeMode::END);
    title_.add_css_class("orvel-history-title");
    resume_.set_xalign(0);
    resume_.add_css_class("orvel-history-resume");
    text->append(title_);
    text->append(resume_);
    open_.set_child(*text);
    open_.set_has_frame(false);
    open_.set_hexpand(true);
    open_.signal_clicked().connect([this] {
      const RecentVideoItem* shown = current();
      if (!shown) {
        return;
      }
      const RecentVideoItem chosen = *shown;
      if (owner_.openPlayer_) {
        owner_.openPlayer_();
      }
      owner_.settings_.requestPlayback(chosen.videoID, chosen.lastPosition, chosen.sourceURL);
    });
    line.append(open_);
  }

  // Shows or hides the note's editor.
  void buildNotesChip(Gtk::Box& line) {
    auto* notesLabel = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 4);
    dot_.set_text("●");
    dot_.add_css_class("orvel-accent");
    dot_.add_css_class("orvel-history-dot");
    notesLabel->append(dot_);
    notesLabel->append(notesText_);
    notes_.set_child(*notesLabel);
    notes_.set_has_frame(false);
    notes_.set_valign(Gtk::Align::CENTER);
    notes_.add_css_class("orvel-history-chip");
    notes_.signal_clicked().connect([this] {
      auto& expanded = owner_.expandedNotes_;
      if (!expanded.erase(videoID_)) {
        expanded.insert(videoID_);
      }
      update();
    });
    line.append(notes_);
  }

  void buildRemoveButton(Gtk::Box& line) {
    remove_.set_icon_name(std::string(PlayerSymbols::iconName("trash")));
    remove_.set_has_frame(false);
    remove_.set_valign(Gtk::Align::CENTER);
    remove_.add_css_class("orvel-history-remove");
    describe(remove_, translated(WatchHistory::kRemoveHelp), translated(WatchHistory::kRemoveHelp));
    remove_.signal_clicked().connect([this] {
      owner_.expandedNotes_.erase(videoID_);
      // Goes through the store, which tombstones the ID; the list follows its announcement.
      owner_.settings_.removeHistoryVideo(videoID_);
    });
    line.append(remove_);
  }

  void buildNote() {
    note_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
    note_.set_left_margin(8);
    note_.set_right_margin(8);
    note_.set_top_margin(8);
    note_.set_bottom_margin(8);
    setAccessibleLabel(note_, _("Note"));
    note_.get_buffer()->signal_changed().connect([this] {
      if (!updating_) {
        // Every edit is stored at once.
        owner_.settings_.setWatchHistoryNote(videoID_, note_.get_buffer()->get_text());
      }
    });
    noteScroller_.set_child(note_);
    noteScroller_.set_has_frame(true);
    noteScroller_.set_min_content_height(70);
    noteScroller_.set_max_content_height(110);
    noteScroller_.set_propagate_natural_height(true);
    noteScroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    append(noteScroller_);
  }

  const RecentVideoItem* current() const {
    for (const RecentVideoItem& record : owner_.settings_.watchHistoryVideos()) {
      if (record.videoID == videoID_) {
        return &record;
      }
    }
    return nullptr;
  }

  WatchHistoryWindow& owner_;
  std::string videoID_;
  bool updating_ = false;
  bool picture_ = false;
  Gtk::Picture thumbnail_;
  Gtk::Button open_;
  Gtk::Label title_;
  Gtk::Label resume_;
  Gtk::Button notes_;
  Gtk::Label dot_;
  Gtk::Label notesText_;
  StarRatingView stars_;
  Gtk::Button remove_;
  Gtk::ScrolledWindow noteScroller_;
  Gtk::TextView note_;
};

WatchHistoryWindow::WatchHistoryWindow(AppSettings& settings, NotificationCenter& center,
                                       RecentThumbnails& thumbnails,
                                       std::function<void()> openPlayer)
    : settings_(settings), thumbnails_(thumbnails), openPlayer_(std::move(openPlayer)) {
  window_.set_title(_("Watch History"));
  window_.add_css_class("orvel-history");
  window_.set_default_size(680, 560);
  window_.set_size_request(620, 520);

  auto* root = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 12);
  root->set_margin(12);
  auto* heading = Gtk::make_managed<Gtk::Label>(_("Watch History"));
  heading->set_xalign(0);
  heading->add_css_class("orvel-history-heading");
  root->append(*heading);
  count_.set_xalign(0);
  count_.add_css_class("orvel-history-count");
  root->append(count_);

  auto* empty = Gtk::make_managed<Gtk::Label>(translated(WatchHistory::kEmptyText));
  empty->add_css_class("orvel-history-count");
  content_.add(*empty, "empty");
  auto* scroller = Gtk::make_managed<Gtk::ScrolledWindow>();
  scroller->set_child(list_);
  scroller->set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  content_.add(*scroller, "list");
  content_.set_vexpand(true);
  root->append(content_);
  window_.set_child(*root);

  // The list follows the store, whoever changed it.
  observers_.push_back(center.addObserver("watchHistoryUpdated",
                                          [this](const Notification&) { scheduleRefresh(); }));
  observers_.push_back(thumbnails_.observeArrivals([this] { scheduleRefresh(); }));
  refresh();
}

WatchHistoryWindow::~WatchHistoryWindow() {
  observers_.clear();
  pendingRefresh_.disconnect();
  window_.unset_child();
}

void WatchHistoryWindow::present() {
  presentWindow(window_);
}

// After the change that announced it has finished: a row may be what asked for it.
void WatchHistoryWindow::scheduleRefresh() {
  if (!pendingRefresh_.connected()) {
    pendingRefresh_ = Glib::signal_idle().connect([this] {
      refresh();
      return false;
    });
  }
}

void WatchHistoryWindow::refresh() {
  const auto shown = WatchHistory::shownVideos(settings_.watchHistoryVideos(),
                                               StreamingProviderRegistry::shared());
  count_.set_text(WatchHistory::countText(shown.size()));
  showStackPage(content_, shown.empty() ? "empty" : "list");
  std::vector<std::string> ids;
  for (const RecentVideoItem& record : shown) {
    ids.push_back(record.videoID);
  }
  if (ids != shownIDs_) {
    // The rows came, went or moved: the list is laid out anew.
    while (Gtk::Widget* child = list_.get_first_child()) {
      list_.remove(*child);
    }
    rows_.clear();
    std::erase_if(expandedNotes_, [&](const std::string& id) {
      return std::find(ids.begin(), ids.end(), id) == ids.end();
    });
    for (const RecentVideoItem& record : shown) {
      auto* row = Gtk::make_managed<Row>(*this, record);
      rows_[record.videoID] = row;
      list_.append(*row);
    }
    shownIDs_ = std::move(ids);
    return;
  }
  for (const auto& [id, row] : rows_) {
    row->update();
  }
}

}  // namespace orvel
