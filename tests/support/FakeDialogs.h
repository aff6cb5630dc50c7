// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "player/PlayerDialogs.h"

namespace orvel {

// Keeps the dialogs the session opened; the test answers them.
class FakeDialogs final : public PlayerDialogs {
 public:
  void showAlert(const Alert& alert, std::function<void(std::size_t)> done) override {
    alerts.push_back(alert);
    alertAnswers.push_back(std::move(done));
  }
  void dismissAlert(const std::string& title) override {
    dismissed.push_back(title);
    for (std::size_t index = alerts.size(); index-- > 0;) {
      if (alerts[index].title == title && alertAnswers[index]) {
        auto answer = std::exchange(alertAnswers[index], nullptr);
        answer(alerts[index].buttons.empty() ? 0 : alerts[index].buttons.size() - 1);
        return;
      }
    }
  }
  void promptForText(const Alert& alert, const std::string& placeholder, const std::string&,
                     std::function<void(std::optional<std::string>)> done) override {
    prompts.push_back(alert);
    lastPlaceholder = placeholder;
    promptAnswers.push_back(std::move(done));
  }

  std::vector<Alert> alerts;
  std::vector<std::function<void(std::size_t)>> alertAnswers;
  std::vector<std::string> dismissed;
  std::vector<Alert> prompts;
  std::string lastPlaceholder;
  std::vector<std::function<void(std::optional<std::string>)>> promptAnswers;
};

}  // namespace orvel
