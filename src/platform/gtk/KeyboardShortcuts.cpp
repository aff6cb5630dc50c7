// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/KeyboardShortcuts.h"

#include <vector>

#include "app/PlayerCommands.h"

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
      keys.push_back({std::string(command.accelerator), std::string(command.title)});
    }
  }
  return keys;
}

std::vector<Group> groups() {
  using Menu = PlayerCommands::Command::Menu;
  return {
      {"Playback",
       {{"space", "Play or pause"},
        {"Left", "Back 5 seconds"},
        {"Right", "Forward 5 seconds"},
        {"F6", "Move between the picture and the toolbar"}}},
      {"View", commandKeys(Menu::view)},
      {"Player", commandKeys(Menu::player)},
      {"Playlist",
       {{"Return", "Play the selected item"},
        {"Delete BackSpace", "Remove the selected items"},
        {"Menu <Shift>F10", "Show the actions of the selected items"},
        {"Escape", "Clear the search, then close the playlist"}}},
      {"Watch History and Feedback", {{"<Control>Return", "Send feedback"}}},
      {"Windows",
       {{"<Control>w", "Close the window"}, {"<Control>q", "Quit"}, {kAccelerator, kTitle}}},
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
  for (const auto& [group, title] : {std::pair{Menu::view, "View"}, {Menu::player, "Player"}}) {
    auto section = Gio::Menu::create();
    for (const PlayerCommands::Command& command : PlayerCommands::all()) {
      if (command.menu != group) {
        continue;
      }
      auto item =
          Gio::MenuItem::create(std::string(command.title), "app." + std::string(command.action));
      if (!command.accelerator.empty()) {
        item->set_attribute_value(
            "accel", Glib::Variant<Glib::ustring>::create(std::string(command.accelerator)));
      }
      section->append_item(item);
    }
    menu->append_section(title, section);
  }
  auto keys = Gio::MenuItem::create(kTitle, std::string("app.") + kAction);
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
    window->set_title(kTitle);
    window->set_transient_for(parent);
    window->set_hide_on_close(true);
  }
  return window;
}

}  // namespace orvel::KeyboardShortcuts
