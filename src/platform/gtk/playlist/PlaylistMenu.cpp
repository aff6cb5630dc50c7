// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/playlist/PlaylistMenu.h"

namespace orvel {

PlaylistMenu::PlaylistMenu(Gtk::Window& window, PlaylistView& model,
                           Gio::SimpleActionGroup& actions)
    : window_(window), model_(model) {
  actions.add_action_with_parameter(
      "menu", Glib::VariantType("i"), [this](const Glib::VariantBase& parameter) {
        const int index = Glib::VariantBase::cast_dynamic<Glib::Variant<int>>(parameter).get();
        if (index >= 0 && static_cast<std::size_t>(index) < entries_.size()) {
          // The entry and its targets are copied: performing it may build the next menu.
          const PlaylistView::MenuEntry entry = entries_[static_cast<std::size_t>(index)];
          const PlaylistView::Ids targets = targets_;
          model_.perform(entry, targets);
        }
      });
}

PlaylistMenu::~PlaylistMenu() {
  detach();
}

void PlaylistMenu::detach() {
  if (popover_.get_parent()) {
    popover_.unparent();
  }
}

void PlaylistMenu::showContextMenu(Gtk::Widget& anchor, double x, double y,
                                   const PlaylistView::Ids& ids) {
  const auto entries = model_.contextMenu(ids);
  if (!entries.empty()) {
    show(anchor, menuModel(entries, ids),
         Gdk::Rectangle(static_cast<int>(x), static_cast<int>(y), 1, 1));
  }
}

void PlaylistMenu::showMoveMenu(Gtk::Widget& anchor, const Uuid& id) {
  const PlaylistView::Ids target{id};
  for (const PlaylistView::MenuEntry& entry : model_.contextMenu(target)) {
    // The entry whose choices move the rows.
    if (!entry.submenu.empty() &&
        entry.submenu.front().command == PlaylistView::MenuEntry::Command::moveTo) {
      show(anchor, menuModel(entry.submenu, target));
      return;
    }
  }
  show(anchor, Gio::Menu::create());
}

void PlaylistMenu::showActionsMenu(Gtk::Widget& anchor, const Uuid& id) {
  const PlaylistView::Ids target{id};
  show(anchor, menuModel(model_.contextMenu(target), target));
}

void PlaylistMenu::show(Gtk::Widget& anchor, const Glib::RefPtr<Gio::MenuModel>& model,
                        std::optional<Gdk::Rectangle> at) {
  // The menu hangs from the window's content, which lives as long as the panel, and points at
  // the row or button it is for: rows are made and dropped as the list changes and scrolls, and
  // a menu left hanging from a dropped row would outlive it.
  Gtk::Widget* holder = window_.get_child();
  graphene_rect_t bounds;
  if (!holder || !gtk_widget_compute_bounds(anchor.gobj(), holder->gobj(), &bounds)) {
    return;
  }
  popover_.set_menu_model(model);
  if (popover_.get_parent() != holder) {
    detach();
    popover_.set_parent(*holder);
  }
  popover_.set_has_arrow(!at);
  const int x = static_cast<int>(bounds.origin.x);
  const int y = static_cast<int>(bounds.origin.y);
  popover_.set_pointing_to(at ? Gdk::Rectangle(x + at->get_x(), y + at->get_y(), 1, 1)
                              : Gdk::Rectangle(x, y, static_cast<int>(bounds.size.width),
                                               static_cast<int>(bounds.size.height)));
  popover_.popup();
}

Glib::RefPtr<Gio::Menu> PlaylistMenu::menuModel(const std::vector<PlaylistView::MenuEntry>& entries,
                                                const PlaylistView::Ids& ids) {
  entries_.clear();
  targets_ = ids;
  return section(entries);
}

Glib::RefPtr<Gio::Menu> PlaylistMenu::section(const std::vector<PlaylistView::MenuEntry>& entries) {
  auto menu = Gio::Menu::create();
  auto part = Gio::Menu::create();
  for (const PlaylistView::MenuEntry& entry : entries) {
    if (!entry.submenu.empty()) {
      part->append_submenu(entry.label, section(entry.submenu));
      continue;
    }
    // The destructive entries stand apart at the end.
    if (entry.destructive) {
      menu->append_section(part);
      part = Gio::Menu::create();
    }
    auto item = Gio::MenuItem::create(entry.label, "");
    item->set_action_and_target("panel.menu",
                                Glib::Variant<int>::create(static_cast<int>(entries_.size())));
    entries_.push_back(entry);
    part->append_item(item);
  }
  menu->append_section(part);
  return menu;
}

}  // namespace orvel
