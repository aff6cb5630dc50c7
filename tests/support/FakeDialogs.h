#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
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
  void promptForText(const Alert& alert, const std::string& placeholder, const std::string&,
                     std::function<void(std::optional<std::string>)> done) override {
    prompts.push_back(alert);
    lastPlaceholder = placeholder;
    promptAnswers.push_back(std::move(done));
  }

  std::vector<Alert> alerts;
  std::vector<std::function<void(std::size_t)>> alertAnswers;
  std::vector<Alert> prompts;
  std::string lastPlaceholder;
  std::vector<std::function<void(std::optional<std::string>)>> promptAnswers;
};

}  // namespace orvel
