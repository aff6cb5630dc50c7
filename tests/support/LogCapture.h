// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/Log.h"

namespace orvel {

// Collects the log lines written while it lives.
class LogCapture {
 public:
  LogCapture()
      : previous_(setLogSink([this](const std::string& line) { lines.push_back(line); })) {}
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture() { setLogSink(std::move(previous_)); }

  std::vector<std::string> lines;

 private:
  LogSink previous_;
};

}  // namespace orvel
