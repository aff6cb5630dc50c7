// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvel {

struct Alert {
  enum class Style { informational, warning };
  Style style = Style::informational;
  std::string title;
  std::string message;
  // The first is the default button.
  std::vector<std::string> buttons;
  // A button that destroys something is drawn as such and is not the default.
  std::optional<std::size_t> destructiveButton;
};

// The player window's modal dialogs.
class PlayerDialogs {
 public:
  virtual ~PlayerDialogs() = default;

  // Shows the alert; `done` gets the index of the button that closed it.
  virtual void showAlert(const Alert& alert, std::function<void(std::size_t button)> done) = 0;
  // Closes the open alert with this title, if any, as its last button would: its `done` hears
  // that button.
  virtual void dismissAlert(const std::string& title) = 0;
  // An alert with a text field holding `text`; `done` gets the text when the first button closed
  // it.
  virtual void promptForText(const Alert& alert, const std::string& placeholder,
                             const std::string& text,
                             std::function<void(std::optional<std::string> text)> done) = 0;
};

}  // namespace orvel
