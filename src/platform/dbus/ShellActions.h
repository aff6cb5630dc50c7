// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <functional>
#include <map>
#include <vector>

#include "app/PlayerCommands.h"
#include "app/StatusMenu.h"
#include "core/ObserverList.h"

namespace orvel {

// The application's actions for the player's commands and the status menu, with their keys. A
// switch is a stateful action, so menus drawing it show its check mark; the marks follow the
// store whichever place changed a switch.
class ShellActions {
 public:
  ShellActions(Gtk::Application& application, PlayerCommands& commands, StatusMenu& menu,
               std::function<void()> quit);
  ~ShellActions();
  ShellActions(const ShellActions&) = delete;
  ShellActions& operator=(const ShellActions&) = delete;

  // The status menu as it stands, for a menu drawn in the player window.
  Glib::RefPtr<Gio::Menu> statusMenuModel();

 private:
  void syncStates();
  Glib::RefPtr<Gio::Menu> menuOf(const std::vector<StatusMenu::Item>& items);
  void append(const Glib::RefPtr<Gio::Menu>& menu, const StatusMenu::Item& item);

  Gtk::Application& application_;
  PlayerCommands& commands_;
  StatusMenu& menu_;
  std::map<PlayerCommands::Id, Glib::RefPtr<Gio::SimpleAction>> switches_;
  // The entries of the last menu model, by the index its items carry.
  std::vector<StatusMenu::Item> entries_;
  ObserverToken changes_;
};

}  // namespace orvel
