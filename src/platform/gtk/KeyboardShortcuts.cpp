// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/KeyboardShortcuts.h"

#include <tuple>
#include <vector>

#include "app/PlayerCommands.h"
#include "core/Translation.h"

namespace orvel::KeyboardShortcuts {
namespace {

struct Key {
  std::string accelerator;
  std::string title;
};

struct Group {
  std::string title;
  std::vector<Key> keys;
};

// The commands of one menu that have a key.
std::vector<Key> commandKeys(PlayerCommands::Command::Menu menu) {
  std::vector<Key> keys;
  for (const PlayerCommands::Command& command : PlayerCommands::all()) {
    if (command.menu == menu && !command.accelerator.empty()) {
      keys.push_back({std::string(command.accelerator), translated(command.title)});
    }
  }
  return keys;
}

std::vector<Group> groups() {
  using Menu = PlayerCommands::Command::Menu;
  return {
      {_("Playback"),
       {{"space", _("Play or pause")},
        {"Left", _("Back 5 seconds")},
        {"Right", _("Forward 5 seconds")},
        {"bracketleft", _("Slower")},
        {"bracketright", _("Faster")},
        {"BackSpace", _("Normal speed")},
        {"Page_Up", _("Previous chapter")},
        {"Page_Down", _("Next chapter")},
        {kSaveFrameAccelerator, _("Save Frame")},
        {"F6", _("Move between the picture and the toolbar")}}},
      {_("View"), commandKeys(Menu::view)},
      {_("Player"), commandKeys(Menu::player)},
      {_("Playlist"),
       {{"Return", _("Play the selected item")},
        {"Delete BackSpace", _("Remove the selected items")},
        {"Menu <Shift>F10", _("Show the actions of the selected items")},
        {"Escape", _("Clear the search, then close the playlist")}}},
      {_("Watch History and Feedback"), {{"<Control>Return", _("Send feedback")}}},
      {_("Windows"),
       {{"<Control>w", _("Close the window")},
        {"<Control>q", _("Quit")},
        {kAccelerator, _(kTitle)}}},
  };
}

std::string escaped(const std::string& text) {
  return Glib::Markup::escape_text(text);
}

std::string description() {
  std::string xml =
      "<interface><object class=\"GtkShortcutsWindow\" id=\"shortcuts\">"
      "<property name=\"modal\">1</property>"
      "<child><object class=\"GtkShortcutsSection\">"
      "<property name=\"section-name\">player</property>"
      "<property name=\"max-height\">16</property>";
  for (const Group& group : groups()) {
    xml += "<child><object class=\"GtkShortcutsGroup\"><property name=\"title\">" +
           escaped(group.title) + "</property>";
    for (const Key& key : group.keys) {
      xml +=
          "<child><object class=\"GtkShortcutsShortcut\">"
          "<property name=\"accelerator\">" +
          escaped(key.accelerator) + "</property><property name=\"title\">" + escaped(key.title) +
          "</property></object></child>";
    }
    xml += "</object></child>";
  }
  return xml + "</object></child></object></interface>";
}

}  // namespace

Glib::RefPtr<Gio::Menu> commandsMenu() {
  using Menu = PlayerCommands::Command::Menu;
  auto menu = Gio::Menu::create();
  auto playback = Gio::Menu::create();
  for (const auto& [title, action, key] :
       {std::tuple{_("Slower"), kSlowerAction, "bracketleft"},
        {_("Faster"), kFasterAction, "bracketright"},
        {_("Normal speed"), kNormalSpeedAction, "BackSpace"},
        {_("Previous chapter"), kPreviousChapterAction, "Page_Up"},
        {_("Next chapter"), kNextChapterAction, "Page_Down"}}) {
    auto item = Gio::MenuItem::create(title, std::string("app.") + action);
    item->set_attribute_value("accel", Glib::Variant<Glib::ustring>::create(key));
    playback->append_item(item);
  }
  // A submenu: with the speed and the chapters inline, the menu would run off a small screen.
  auto first = Gio::Menu::create();
  first->append_submenu(_("Speed and Chapters"), playback);
  auto frame = Gio::MenuItem::create(_("Save Frame"), std::string("app.") + kSaveFrameAction);
  frame->set_attribute_value("accel", Glib::Variant<Glib::ustring>::create(kSaveFrameAccelerator));
  first->append_item(frame);
  menu->append_section(first);
  for (const auto& [group, title] :
       {std::pair{Menu::view, _("View")}, {Menu::player, _("Player")}}) {
    auto section = Gio::Menu::create();
    for (const PlayerCommands::Command& command : PlayerCommands::all()) {
      if (command.menu != group) {
        continue;
      }
      auto item =
          Gio::MenuItem::create(translated(command.title), "app." + std::string(command.action));
      if (!command.accelerator.empty()) {
        item->set_attribute_value(
            "accel", Glib::Variant<Glib::ustring>::create(std::string(command.accelerator)));
      }
      section->append_item(item);
    }
    menu->append_section(title, section);
  }
  auto keys = Gio::MenuItem::create(_(kTitle), std::string("app.") + kAction);
  keys->set_attribute_value("accel", Glib::Variant<Glib::ustring>::create(kAccelerator));
  auto last = Gio::Menu::create();
  last->append_item(keys);
  menu->append_section(last);
  return menu;
}

std::unique_ptr<Gtk::ShortcutsWindow> makeWindow(Gtk::Window& parent) {
  auto builder = Gtk::Builder::create_from_string(description());
  std::unique_ptr<Gtk::ShortcutsWindow> window(
      builder->get_widget<Gtk::ShortcutsWindow>("shortcuts"));
  if (window) {
    window->set_title(_(kTitle));
    window->set_transient_for(parent);
    window->set_hide_on_close(true);
  }
  return window;
}

}  // namespace orvel::KeyboardShortcuts
