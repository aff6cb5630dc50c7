// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/MainQueue.h"
#include "player/WebEngine.h"

namespace orvel {

// Records what the session asks of the web view. Evaluations answer on the queue's next turn with
// `answer` (by default: no error, no value), as the real engine answers on a later loop turn.
class FakeWebEngine final : public WebEngine {
 public:
  struct Load {
    enum class Kind { html, file, request };
    Kind kind;
    std::string target;
    std::optional<std::string> baseURL;
  };

  explicit FakeWebEngine(MainQueue& queue) : queue_(queue) {}

  void loadHTML(const std::string& html, const std::optional<std::string>& baseURL) override {
    loads.push_back({Load::Kind::html, html, baseURL});
  }
  void loadFile(const std::string& fileURL) override {
    loads.push_back({Load::Kind::file, fileURL, std::nullopt});
    url = fileURL;
  }
  void loadRequest(const std::string& requestURL, double) override {
    loads.push_back({Load::Kind::request, requestURL, std::nullopt});
    url = requestURL;
  }
  void evaluate(const std::string& script, Completion completion) override {
    scripts.push_back(script);
    ScriptResult result = answer ? answer(script) : ScriptResult{};
    if (completion) {
      queue_.post([completion, result] { completion(result); });
    }
  }
  std::optional<std::string> currentURL() const override { return url; }
  void savePicture(const std::string& path, std::optional<PictureRegion> region,
                   std::function<void(bool)> done) override {
    pictures.push_back({path, region});
    queue_.post([done, saved = pictureSaved] { done(saved); });
  }
  std::vector<UserScript> userScripts() const override { return installed; }
  void setUserScripts(std::vector<UserScript> scripts_) override {
    installed = std::move(scripts_);
  }

  // Scripts evaluated so far that start with the prefix.
  std::vector<std::string> scriptsStartingWith(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const std::string& script : scripts) {
      if (script.starts_with(prefix)) {
        found.push_back(script);
      }
    }
    return found;
  }

  std::vector<Load> loads;
  std::vector<std::string> scripts;
  std::vector<UserScript> installed;
  std::optional<std::string> url;
  std::function<ScriptResult(const std::string&)> answer;
  std::vector<std::pair<std::string, std::optional<PictureRegion>>> pictures;
  // What savePicture answers.
  bool pictureSaved = true;

 private:
  MainQueue& queue_;
};

}  // namespace orvel
