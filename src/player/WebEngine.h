// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvel {

struct UserScript {
  enum class Time { documentStart, documentEnd };
  enum class Frames { mainFrame, allFrames };
  std::string source;
  Time time = Time::documentEnd;
  Frames frames = Frames::mainFrame;
  bool operator==(const UserScript&) const = default;
};

// The outcome of evaluating a script: an error text, or the value (a string result as it is,
// anything else as JSON).
struct ScriptResult {
  std::optional<std::string> error;
  std::optional<std::string> stringValue;
};

// A part of the page's picture, in the view's pixels, and the size to save it at.
struct PictureRegion {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  int outputWidth = 0;
  int outputHeight = 0;
};

// The player's one web view, as the session drives it.
class WebEngine {
 public:
  using Completion = std::function<void(const ScriptResult&)>;

  virtual ~WebEngine() = default;

  virtual void loadHTML(const std::string& html, const std::optional<std::string>& baseURL) = 0;
  // A local file, with read access granted to that file only.
  virtual void loadFile(const std::string& fileURL) = 0;
  virtual void loadRequest(const std::string& url, double timeoutSeconds) = 0;
  // Evaluates in the main frame; the completion, when given, runs on the main loop later.
  virtual void evaluate(const std::string& script, Completion completion) = 0;
  virtual std::optional<std::string> currentURL() const = 0;
  // Writes what the view shows as a PNG file: the region, scaled to its output size, when given,
  // else the whole view. `done` is told whether it was written, on the main loop later.
  virtual void savePicture(const std::string& path, std::optional<PictureRegion> region,
                           std::function<void(bool saved)> done) = 0;

  virtual std::vector<UserScript> userScripts() const = 0;
  virtual void setUserScripts(std::vector<UserScript> scripts) = 0;
};

}  // namespace orvel
