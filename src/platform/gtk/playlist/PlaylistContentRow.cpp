// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistContentRow.h"

#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"

namespace orvel {
namespace {

// The rows being dragged travel as the position of the row the drag began on.
Glib::RefPtr<Gdk::ContentProvider> rowContent(std::size_t position) {
  Glib::Value<Glib::ustring> value;
  value.init(value.value_type());
  value.set(std::to_string(position));
  return Gdk::ContentProvider::create(value);
}

}  // namespace

PlaylistContentRow::PlaylistContentRow(PlaylistRowHost& host)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 10), host_(host) {
  add_css_class("orvel-playlist-row");
  check_.set_valign(Gtk::Align::CENTER);
  check_.signal_toggled().connect([this] {
    if (!binding_ && position_) {
      host_.setSelected(*position_, check_.get_active());
    }
  });
  append(check_);
  artwork_.set_valign(Gtk::Align::CENTER);
  append(artwork_);
  buildText();
  buildActionButtons();
  buildGestures();
}

void PlaylistContentRow::buildText() {
  text_.set_hexpand(true);
  text_.set_valign(Gtk::Align::CENTER);
  title_.set_xalign(0);
  title_.set_ellipsize(Pango::EllipsizeMode::END);
  title_.add_css_class("orvel-playlist-title");
  subtitle_.set_xalign(0);
  subtitle_.set_ellipsize(Pango::EllipsizeMode::END);
  subtitle_.add_css_class("orvel-playlist-subtitle");
  text_.append(title_);
  text_.append(subtitle_);
  append(text_);
}

// Plain buttons opening the panel's one menu, shown while the pointer or the focus is on the row
// or the row is selected. The stylesheet draws their symbols, so each is one widget.
void PlaylistContentRow::buildActionButtons() {
  moveButton_.set_has_frame(false);
  moveButton_.add_css_class("orvel-row-move");
  moveButton_.signal_clicked().connect([this] {
    if (id_) {
      host_.showMoveMenu(moveButton_, *id_);
    }
  });
  moreButton_.set_has_frame(false);
  moreButton_.add_css_class("orvel-row-more");
  moreButton_.signal_clicked().connect([this] {
    if (id_) {
      host_.showActionsMenu(moreButton_, *id_);
    }
  });
  for (Gtk::Button* button : {&moveButton_, &moreButton_}) {
    gtk_accessible_update_property(GTK_ACCESSIBLE(button->gobj()),
                                   GTK_ACCESSIBLE_PROPERTY_HAS_POPUP, TRUE, -1);
    button->add_css_class("orvel-row-action");
    button->set_valign(Gtk::Align::CENTER);
    append(*button);
  }
}

// A right click opens the context menu; a row is dragged by its position and dropped on another.
void PlaylistContentRow::buildGestures() {
  auto click = Gtk::GestureClick::create();
  click->set_button(GDK_BUTTON_SECONDARY);
  click->signal_pressed().connect([this](int, double x, double y) {
    if (position_) {
      host_.showContextMenu(*this, x, y, host_.contextTargets(*position_));
    }
  });
  add_controller(click);

  auto drag = Gtk::DragSource::create();
  drag->set_actions(Gdk::DragAction::MOVE);
  drag->signal_prepare().connect(
      [this](double, double) -> Glib::RefPtr<Gdk::ContentProvider> {
        if (!position_ || !host_.model().canReorder()) {
          return {};
        }
        return rowContent(*position_);
      },
      false);
  add_controller(drag);
  auto target =
      Gtk::DropTarget::create(Glib::Value<Glib::ustring>::value_type(), Gdk::DragAction::MOVE);
  target->signal_drop().connect(
      [this](const Glib::ValueBase& value, double, double y) { return drop(value, y); }, false);
  add_controller(target);
}

bool PlaylistContentRow::drop(const Glib::ValueBase& value, double y) {
  if (!position_ || value.gobj()->g_type != G_TYPE_STRING) {
    return false;
  }
  Glib::Value<Glib::ustring> dragged;
  dragged.init(value.gobj());
  std::size_t from = 0;
  try {
    from = std::stoul(dragged.get().raw());
  } catch (const std::exception&) {
    return false;
  }
  // The lower half of a row drops after it.
  const bool after = y > get_height() / 2.0;
  host_.dropRows(from, *position_ + (after ? 1 : 0));
  return true;
}

void PlaylistContentRow::bind(const PlaylistView::Row& row, std::size_t position) {
  binding_ = true;
  position_ = position;
  id_ = row.node.id;
  url_ = row.node.url.value_or("");
  const PlaylistView& model = host_.model();
  const PlaylistNode& node = row.node;
  const std::string title = model.displayTitle(node);
  setText(title_, title);
  // The list's own holder of the row is what screen readers land on: it carries the title.
  if (Gtk::Widget* holder = get_parent()) {
    setAccessibleLabel(*holder, title);
  }
  setText(subtitle_, model.subtitle(row));
  subtitle_.set_visible(!subtitle_.get_text().empty());
  const bool current = model.currentItemID() == node.id;
  bindArtwork(node, current);
  setClass(*this, "orvel-playlist-current", current);
  bindLines(row);

  const bool selected = host_.isSelected(position);
  check_.set_active(selected);
  updateCheckDescription(title, selected);
  const std::string move = formatted(_("Move %s to a folder"), {title});
  describeRow(moveButton_, move, move);
  const std::string more = formatted(_("More actions for %s"), {title});
  describeRow(moreButton_, more, more);
  binding_ = false;
}

void PlaylistContentRow::bindArtwork(const PlaylistNode& node, bool current) {
  PlaylistMetadata& metadata = host_.metadata();
  if (!url_.empty() && !metadata.wasRequested(url_)) {
    metadata.load(url_);
  }
  const PlaylistMetadata::Info* info = url_.empty() ? nullptr : metadata.info(url_);
  artwork_.show(info ? info->thumbnail : nullptr,
                iconName(PlaylistView::artworkSymbol(node, StreamingProviderRegistry::shared())),
                current           ? iconName("speaker.wave.2.fill")
                : node.isFolder() ? std::string()
                                  : iconName("play.fill"));
  describeRow(artwork_, current ? _("Playing") : "", current ? _("Playing") : "");
}

// The progress bar, the resume line and the missing-file line are made the first time this row
// shows an item that has them.
void PlaylistContentRow::bindLines(const PlaylistView::Row& row) {
  const PlaylistView& model = host_.model();
  const auto progress = model.progress(row.node);
  if (progress || progress_) {
    progressBar().set_visible(progress.has_value());
    progress_->set_fraction(progress.value_or(0));
  }
  const auto resume = model.resumeLabel(row);
  if (resume || resume_) {
    resumeLine().set_visible(resume.has_value());
    if (resume) {
      setText(*resumeLabel_, *resume);
    }
  }
  const bool missing = model.isFileMissing(row.node);
  if (missing || missing_) {
    missingLine().set_visible(missing);
  }
}

void PlaylistContentRow::updateSelected() {
  if (!position_) {
    return;
  }
  binding_ = true;
  const bool selected = host_.isSelected(*position_);
  check_.set_active(selected);
  updateCheckDescription(title_.get_text(), selected);
  binding_ = false;
}

void PlaylistContentRow::unbind() {
  position_.reset();
  id_.reset();
}

Gtk::ProgressBar& PlaylistContentRow::progressBar() {
  if (!progress_) {
    progress_ = Gtk::make_managed<Gtk::ProgressBar>();
    progress_->add_css_class("orvel-playlist-progress");
    setAccessibleLabel(*progress_, _("Watched"));
    text_.insert_child_after(*progress_, subtitle_);
  }
  return *progress_;
}

Gtk::Box& PlaylistContentRow::resumeLine() {
  if (!resume_) {
    resume_ = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::HORIZONTAL, 8);
    resumeLabel_ = Gtk::make_managed<Gtk::Label>();
    resumeLabel_->add_css_class("orvel-playlist-resume");
    resume_->append(*resumeLabel_);
    auto* button = Gtk::make_managed<Gtk::Button>(_("Resume"));
    button->add_css_class("orvel-playlist-resume-button");
    describeRow(*button, _("Resume"), _("Continue from where playback stopped"));
    button->signal_clicked().connect([this] {
      if (id_) {
        host_.model().play(*id_);
      }
    });
    resume_->append(*button);
    if (progress_) {
      text_.insert_child_after(*resume_, *progress_);
    } else {
      text_.insert_child_after(*resume_, subtitle_);
    }
  }
  return *resume_;
}

Gtk::Label& PlaylistContentRow::missingLine() {
  if (!missing_) {
    missing_ = Gtk::make_managed<Gtk::Label>(_("File not found"));
    missing_->set_xalign(0);
    missing_->add_css_class("orvel-playlist-missing");
    describeRow(*missing_, _("File not found"),
                _("File not found. Its drive may be disconnected."));
    text_.append(*missing_);
  }
  return *missing_;
}

void PlaylistContentRow::updateCheckDescription(const std::string& title, bool selected) {
  const std::string select = formatted(_("Select %s"), {title});
  describeRow(check_, select, select);
  gtk_accessible_update_property(GTK_ACCESSIBLE(check_.gobj()), GTK_ACCESSIBLE_PROPERTY_VALUE_TEXT,
                                 (selected ? _("Selected") : _("Not selected")).c_str(), -1);
}

}  // namespace orvel
