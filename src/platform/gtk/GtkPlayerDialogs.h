// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm.h>

#include <memory>
#include <set>

#include "platform/gtk/WidgetHelpers.h"
#include "player/PlayerDialogs.h"

namespace orvel {

// Modal message dialogs on the player window.
class GtkPlayerDialogs final : public PlayerDialogs {
 public:
  explicit GtkPlayerDialogs(Gtk::Window& parent) : parent_(parent) {}
  ~GtkPlayerDialogs() override;
  GtkPlayerDialogs(const GtkPlayerDialogs&) = delete;
  GtkPlayerDialogs& operator=(const GtkPlayerDialogs&) = delete;

  void showAlert(const Alert& alert, std::function<void(std::size_t button)> done) override;
  void dismissAlert(const std::string& title) override;
  void promptForText(const Alert& alert, const std::string& placeholder, const std::string& text,
                     std::function<void(std::optional<std::string> text)> done) override;

  bool isShowingDialog() const { return !open_.empty(); }

 private:
  Gtk::MessageDialog* makeDialog(const Alert& alert);
  void finish(Gtk::MessageDialog* dialog);

  Gtk::Window& parent_;
  std::set<std::unique_ptr<Gtk::MessageDialog>> open_;
  LaterTurns later_;
};

}  // namespace orvel
