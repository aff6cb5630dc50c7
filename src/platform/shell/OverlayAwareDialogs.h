// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "player/PlayerDialogs.h"
#include "player/PlayerWindowBehaviour.h"

namespace orvel {

// Alerts drop the window from the keep-on-top level while they are up.
class OverlayAwareDialogs final : public PlayerDialogs {
 public:
  OverlayAwareDialogs(PlayerDialogs& dialogs, PlayerWindowBehaviour*& behaviour)
      : dialogs_(dialogs), behaviour_(behaviour) {}

  void showAlert(const Alert& alert, std::function<void(std::size_t)> done) override {
    if (behaviour_) {
      behaviour_->suspendAlwaysOnTopForOverlay();
    }
    dialogs_.showAlert(alert, [this, done](std::size_t button) {
      if (behaviour_) {
        behaviour_->restoreAlwaysOnTopAfterOverlay();
      }
      if (done) {
        done(button);
      }
    });
  }
  void dismissAlert(const std::string& title) override { dialogs_.dismissAlert(title); }
  void promptForText(const Alert& alert, const std::string& placeholder, const std::string& text,
                     std::function<void(std::optional<std::string>)> done) override {
    dialogs_.promptForText(alert, placeholder, text, std::move(done));
  }

 private:
  PlayerDialogs& dialogs_;
  PlayerWindowBehaviour*& behaviour_;
};

}  // namespace orvel
