// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "native/AudioServer.h"
#include "native/EqualizerAudioProcessor.h"
#include "native/WebAudioEqualizer.h"
#include "native/WebProcessEqualizer.h"

namespace orvel {

// The equalizer's web route: the web view's sound moved through the equalizer's filters on the
// sound server, for as long as this object lives.
class WebAudioRoute final : public WebAudioEqualizer {
 public:
  // Builds the route, or says why it cannot be built (nothing is left behind then).
  static Result<std::shared_ptr<WebAudioEqualizer>> make(
      MainQueue& queue, AudioServer& server, const std::vector<double>& gains, double volume,
      std::function<void(const std::string& message)> failed);

  WebAudioRoute(MainQueue& queue, AudioServer& server, const std::vector<double>& gains,
                double volume, std::function<void(const std::string& message)> failed);
  ~WebAudioRoute() override;
  WebAudioRoute(const WebAudioRoute&) = delete;
  WebAudioRoute& operator=(const WebAudioRoute&) = delete;

  void update(const std::vector<double>& gains, double volume) override;
  void setVolume(double volume) override;

 private:
  MainQueue& queue_;
  std::shared_ptr<EqualizerAudioProcessor> processor_;
  std::function<void(const std::string&)> failed_;
  Lifetime lifetime_;
  std::unique_ptr<WebProcessEqualizer> equalizer_;
};

}  // namespace orvel
