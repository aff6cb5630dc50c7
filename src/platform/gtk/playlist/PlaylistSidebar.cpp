// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistSidebar.h"

#include <algorithm>

#include "core/Translation.h"
#include "platform/gtk/WidgetHelpers.h"

namespace orvel {

// One entry of the sidebar: _("All Videos") or a folder of the tree.
class PlaylistSidebar::Row : public Gtk::Box {
 public:
  explicit Row(PlaylistRowHost& host) : Gtk::Box(Gtk::Orientation::HORIZONTAL, 6), host_(host) {
    add_css_class("orvel-sidebar-row");
    disclosure_.set_has_frame(false);
    disclosure_.add_css_class("orvel-disclosure");
    disclosure_.signal_clicked().connect([this] {
      if (id_) {
        host_.model().toggleExpanded(*id_);
      }
    });
    append(disclosure_);
    append(icon_);
    title_.set_xalign(0);
    title_.set_hexpand(true);
    title_.set_ellipsize(Pango::EllipsizeMode::END);
    append(title_);
    playing_.set_from_icon_name(iconName("speaker.wave.2.fill"));
    playing_.add_css_class("orvel-accent");
    describeRow(playing_, _("Playing"), _("Playing"));
    append(playing_);
    resume_.set_from_icon_name(iconName("bookmark.fill"));
    describeRow(resume_, _("Has resume point"), _("Remembers where playback stopped"));
    append(resume_);
    count_.add_css_class("orvel-sidebar-count");
    append(count_);

    auto click = Gtk::GestureClick::create();
    click->set_button(GDK_BUTTON_SECONDARY);
    click->signal_pressed().connect([this](int, double x, double y) {
      if (id_) {
        host_.showContextMenu(*this, x, y, PlaylistView::Ids{*id_});
      }
    });
    add_controller(click);
  }

  void bind(const Entry& entry) {
    id_ = entry.id;
    set_margin_start(entry.depth * 14);
    disclosure_.set_icon_name(iconName(entry.isExpanded ? "disclosure.open" : "chevron.right"));
    disclosure_.set_opacity(entry.hasSubfolders ? 1 : 0);
    disclosure_.set_sensitive(entry.hasSubfolders);
    const std::string toggle =
        formatted(entry.isExpanded ? _("Collapse %s") : _("Expand %s"), {entry.title});
    describeRow(disclosure_, toggle, toggle);
    icon_.set_from_icon_name(iconName(!entry.id          ? "list.bullet"
                                      : entry.isExpanded ? "folder.fill"
                                                         : "folder"));
    setText(title_, entry.title);
    if (Gtk::Widget* holder = get_parent()) {
      setAccessibleLabel(*holder, entry.title);
    }
    setText(count_, std::to_string(entry.count));
    playing_.set_visible(entry.isPlaying);
    resume_.set_visible(entry.hasResume);
  }

 private:
  PlaylistRowHost& host_;
  std::optional<Uuid> id_;
  Gtk::Button disclosure_;
  Gtk::Image icon_;
  Gtk::Label title_;
  Gtk::Image playing_;
  Gtk::Image resume_;
  Gtk::Label count_;
};

PlaylistSidebar::PlaylistSidebar(PlaylistRowHost& host) : host_(host) {
  store_ = Gtk::StringList::create({});
  selection_ = Gtk::SingleSelection::create(store_);
  selection_->set_autoselect(false);
  selection_->set_can_unselect(true);
  auto factory = Gtk::SignalListItemFactory::create();
  factory->signal_setup().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    item->set_child(*Gtk::make_managed<Row>(host_));
  });
  factory->signal_bind().connect([this](const Glib::RefPtr<Gtk::ListItem>& item) {
    const std::size_t position = item->get_position();
    if (position < entries_.size()) {
      static_cast<Row*>(item->get_child())->bind(entries_[position]);
    }
  });
  auto* list = Gtk::make_managed<Gtk::ListView>(selection_, factory);
  list->add_css_class("orvel-sidebar");
  list->add_css_class("navigation-sidebar");
  setAccessibleLabel(*list, _("Folders"));
  selection_->signal_selection_changed().connect([this](guint, guint) {
    const guint position = selection_->get_selected();
    if (!syncing_ && position < entries_.size()) {
      host_.model().openFolder(entries_[position].id);
    }
  });
  list->signal_activate().connect([this](guint position) {
    if (position < entries_.size()) {
      host_.model().playSidebarScope(entries_[position].id);
    }
  });
  scroller_.set_child(*list);
  scroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
  scroller_.set_size_request(240, -1);
  scroller_.add_css_class("orvel-sidebar-scroller");
}

std::vector<PlaylistSidebar::Entry> PlaylistSidebar::entries() const {
  const PlaylistView& model = host_.model();
  std::vector<Entry> entries;
  entries.push_back({.id = std::nullopt,
                     .title = _("All Videos"),
                     .depth = 0,
                     .hasSubfolders = false,
                     .isExpanded = true,
                     .count = model.itemCount(std::nullopt),
                     .isPlaying = model.isPlaying(std::nullopt),
                     .hasResume = model.resumeID(std::nullopt).has_value()});
  model.forEachSidebarFolder(
      [&](const PlaylistNode& folder, const PlaylistRows::SidebarPlace& place) {
        entries.push_back(
            {.id = folder.id,
             .title = folder.title(),
             .depth = place.depth + 1,
             .hasSubfolders = std::ranges::any_of(
                 *folder.children, [](const PlaylistNode& child) { return child.isFolder(); }),
             .isExpanded = folder.isExpanded,
             .count = PlaylistTree::itemCount(*folder.children),
             .isPlaying = model.isPlaying(folder),
             .hasResume = model.resumeID(folder).has_value()});
      });
  return entries;
}

void PlaylistSidebar::refresh(const std::optional<Uuid>& open) {
  std::vector<Entry> entries = this->entries();
  syncing_ = true;
  // Rebuilt only when it changed, so that a click that opens a folder can become a double click.
  if (entries != entries_) {
    entries_ = std::move(entries);
    std::vector<Glib::ustring> keys;
    for (std::size_t position = 0; position < entries_.size(); ++position) {
      keys.push_back(std::to_string(position));
    }
    store_->splice(0, store_->get_n_items(), keys);
  }
  guint selected = 0;
  for (std::size_t position = 0; position < entries_.size(); ++position) {
    if (entries_[position].id == open) {
      selected = static_cast<guint>(position);
      break;
    }
  }
  selection_->set_selected(selected);
  syncing_ = false;
}

}  // namespace orvel
