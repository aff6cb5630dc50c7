// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/WebAudioRoute.h"

#include <utility>

namespace orvel {

Result<std::shared_ptr<WebAudioEqualizer>> WebAudioRoute::make(
    MainQueue& queue, AudioServer& server, const std::vector<double>& gains, double volume,
    std::function<void(const std::string& message)> failed) {
  auto route = std::make_shared<WebAudioRoute>(queue, server, gains, volume, std::move(failed));
  if (auto error = route->equalizer_->start()) {
    return Result<std::shared_ptr<WebAudioEqualizer>>::failure(error->message());
  }
  return Result<std::shared_ptr<WebAudioEqualizer>>(std::shared_ptr<WebAudioEqualizer>(route));
}

WebAudioRoute::WebAudioRoute(MainQueue& queue, AudioServer& server,
                             const std::vector<double>& gains, double volume,
                             std::function<void(const std::string& message)> failed)
    : queue_(queue),
      processor_(std::make_shared<EqualizerAudioProcessor>(gains, volume)),
      failed_(std::move(failed)) {
  // A later failure is reported on a turn of its own: the equalizer that hears it drops this
  // route, which must not happen inside the route's own call.
  equalizer_ = std::make_unique<WebProcessEqualizer>(
      queue, server, processor_, [this](const PlayerEqualizerError& error) {
        queue_.post(lifetime_.guard([this, message = error.message()] {
          // A copy: hearing the failure drops this route, and with it `failed_`.
          if (auto report = failed_) {
            report(message);
          }
        }));
      });
}

WebAudioRoute::~WebAudioRoute() {
  if (equalizer_) {
    equalizer_->stop();
  }
}

void WebAudioRoute::update(const std::vector<double>& gains, double volume) {
  processor_->update(gains, volume);
}

void WebAudioRoute::setVolume(double volume) {
  processor_->setVolume(volume);
}

}  // namespace orvel
