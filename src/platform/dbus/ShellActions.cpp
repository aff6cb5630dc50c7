// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/dbus/ShellActions.h"

#include <string>

namespace orvel {
namespace {

std::string actionName(std::string_view action) {
  return "app." + std::string(action);
}

}  // namespace

ShellActions::ShellActions(Gtk::Application& application, PlayerCommands& commands,
                           StatusMenu& menu, std::function<void()> quit)
    : application_(application), commands_(commands), menu_(menu) {
  for (const PlayerCommands::Command& command : PlayerCommands::all()) {
    const PlayerCommands::Id id = command.id;
    if (command.toggles) {
      switches_[id] = application.add_action_bool(
          std::string(command.action), [this, id] { commands_.perform(id); },
          commands.state(id).value_or(false));
    } else {
      application.add_action(std::string(command.action), [this, id] { commands_.perform(id); });
    }
    if (!command.accelerator.empty()) {
      application.set_accel_for_action(actionName(command.action),
                                       std::string(command.accelerator));
    }
  }
  application.add_action("quit", std::move(quit));
  application.set_accel_for_action("app.quit", "<Control>q");
  application.add_action_with_parameter(
      "status-item", Glib::VariantType("i"), [this](const Glib::VariantBase& value) {
        const int index = Glib::VariantBase::cast_dynamic<Glib::Variant<int>>(value).get();
        if (index >= 0 && static_cast<std::size_t>(index) < entries_.size()) {
          // A copy: choosing an entry may rebuild the menu.
          const StatusMenu::Item chosen = entries_[static_cast<std::size_t>(index)];
          menu_.perform(chosen);
        }
      });
  changes_ = menu.observeChanges([this] { syncStates(); });
}

ShellActions::~ShellActions() {
  changes_.cancel();
  for (const PlayerCommands::Command& command : PlayerCommands::all()) {
    application_.remove_action(std::string(command.action));
  }
  application_.remove_action("quit");
  application_.remove_action("status-item");
}

void ShellActions::syncStates() {
  for (const auto& [id, action] : switches_) {
    const bool on = commands_.state(id).value_or(false);
    bool shown = false;
    action->get_state(shown);
    if (shown != on) {
      action->set_state(Glib::Variant<bool>::create(on));
    }
  }
}

Glib::RefPtr<Gio::Menu> ShellActions::statusMenuModel() {
  entries_.clear();
  return menuOf(menu_.items());
}

// Separators become the borders of sections, as GTK menus draw them.
Glib::RefPtr<Gio::Menu> ShellActions::menuOf(const std::vector<StatusMenu::Item>& items) {
  auto menu = Gio::Menu::create();
  auto section = Gio::Menu::create();
  for (const StatusMenu::Item& item : items) {
    if (item.kind == StatusMenu::Item::Kind::separator) {
      menu->append_section(section);
      section = Gio::Menu::create();
    } else {
      append(section, item);
    }
  }
  menu->append_section(section);
  return menu;
}

void ShellActions::append(const Glib::RefPtr<Gio::Menu>& menu, const StatusMenu::Item& item) {
  using Action = StatusMenu::Action;
  if (item.kind == StatusMenu::Item::Kind::submenu) {
    menu->append_submenu(item.title, menuOf(item.children));
    return;
  }
  // Switches and the entries that have a command of their own use it, so that the menu shows
  // the check mark and the key; the rest go through the status menu.
  std::string action;
  if (item.command) {
    action = actionName(PlayerCommands::command(*item.command).action);
  } else if (item.action == Action::openURL) {
    action = actionName(PlayerCommands::command(PlayerCommands::Id::openURL).action);
  } else if (item.action == Action::openWatchHistory) {
    action = actionName(PlayerCommands::command(PlayerCommands::Id::openWatchHistory).action);
  } else if (item.action == Action::quit) {
    action = "app.quit";
  } else if (item.enabled && item.action != Action::none) {
    entries_.push_back(item);
    action = Gio::Action::print_detailed_name_variant(
        "app.status-item", Glib::Variant<int>::create(static_cast<int>(entries_.size() - 1)));
  }
  auto entry = Gio::MenuItem::create(item.title, "");
  if (!action.empty()) {
    entry->set_detailed_action(action);
  }
  menu->append_item(entry);
}

}  // namespace orvel
