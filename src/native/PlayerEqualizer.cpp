// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/PlayerEqualizer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/Log.h"
#include "core/PropertyList.h"
#include "core/Translation.h"

namespace orvel {

namespace {

double clampedVolume(double volume) {
  return std::isfinite(volume) ? std::clamp(volume, 0.0, 1.0) : 1.0;
}

}  // namespace

PlayerEqualizer::PlayerEqualizer(Defaults& defaults, WebAudioEqualizerFactory makeWebAudio)
    : defaults_(defaults), makeWebAudio_(std::move(makeWebAudio)) {
  loadGains();
}

PlayerEqualizer::~PlayerEqualizer() {
  // The route is taken down before anything it filters for goes.
  webAudio_.reset();
}

void PlayerEqualizer::loadGains() {
  std::vector<double> stored;
  if (auto value = defaults_.object(kGainsKey)) {
    if (const auto* array = value->get<PropertyList::Array>()) {
      for (const PropertyList& element : *array) {
        if (const double* real = element.get<double>()) {
          stored.push_back(*real);
        } else if (const std::int64_t* whole = element.get<std::int64_t>()) {
          stored.push_back(static_cast<double>(*whole));
        } else {
          stored.clear();
          break;
        }
      }
    }
  }
  // A gain that is not a number would reach the filters; the stored array counts as unusable.
  if (std::any_of(stored.begin(), stored.end(), [](double gain) { return !std::isfinite(gain); })) {
    stored.clear();
  }
  if (stored.size() == kBandCount) {
    gains_ = std::move(stored);
  } else if (stored.size() == 6) {
    // The six-band layout of earlier versions: the new 500 Hz and 3 kHz bands take the mean of
    // their neighbours, and the old top band has no place. Halved before they are added, so that
    // two huge stored gains do not make an infinite one.
    auto mean = [](double low, double high) { return low / 2 + high / 2; };
    gains_ = {stored[0], stored[1], mean(stored[1], stored[2]),
              stored[2], stored[3], mean(stored[3], stored[4]),
              stored[4]};
    storeGains();
  } else {
    gains_.assign(kBandCount, 0.0);
  }
}

void PlayerEqualizer::storeGains() {
  PropertyList::Array array;
  for (double gain : gains_) {
    array.emplace_back(gain);
  }
  defaults_.set(kGainsKey, PropertyList(std::move(array)));
}

void PlayerEqualizer::setEnabled(bool enabled) {
  isEnabled_ = enabled;
  changes_.notify();
  if (nativePlayback_) {
    route();
  }
}

void PlayerEqualizer::setGain(double gain, std::size_t band) {
  if (band >= gains_.size() || !std::isfinite(gain)) {
    return;
  }
  gains_[band] = std::clamp(gain, -kMaximumGain, kMaximumGain);
  gainsChanged();
}

void PlayerEqualizer::resetGains() {
  if (std::all_of(gains_.begin(), gains_.end(), [](double gain) { return gain == 0; })) {
    return;
  }
  gains_.assign(kBandCount, 0.0);
  gainsChanged();
}

void PlayerEqualizer::gainsChanged() {
  storeGains();
  changes_.notify();
  if (nativePlayback_) {
    route();
  }
}

void PlayerEqualizer::updatePlayback(bool usesNative, bool isPlaying, double volume) {
  usesNative_ = usesNative;
  isPlaying_ = isPlaying;
  volume_ = clampedVolume(volume);
  route();
}

void PlayerEqualizer::setVolume(double volume) {
  volume_ = clampedVolume(volume);
  if (webAudio_) {
    webAudio_->setVolume(volume_);
  }
}

void PlayerEqualizer::setNativeEqualizer(bool enabled) {
  if (!nativePlayback_) {
    return;
  }
  nativePlayback_->setEqualizerEnabled(enabled);
  nativePlayback_->setEqualizerGains(gains_);
  nativePlayback_->applyEqualizer();
}

void PlayerEqualizer::route() {
  const bool wasRunning = webAudio_ != nullptr;
  routeWithoutNotice();
  // The session hands the page's volume to a running route and takes it back when it stops.
  if (wasRunning != (webAudio_ != nullptr)) {
    changes_.notify();
  }
}

void PlayerEqualizer::routeWithoutNotice() {
  const bool webCase = isEnabled_ && !usesNative_ && isPlaying_;
  if (!webCase) {
    webAudio_.reset();
    setNativeEqualizer(isEnabled_ && usesNative_);
    setErrorMessage(std::nullopt);
    return;
  }
  setNativeEqualizer(false);
  if (webAudio_) {
    // A running route keeps the stream it was made for.
    webAudio_->update(gains_, volume_);
    setErrorMessage(std::nullopt);
    return;
  }
  auto failed = [this, alive = std::weak_ptr<int>(alive_)](const std::string& message) {
    if (!alive.expired()) {
      const bool wasRunning = webAudio_ != nullptr;
      webAudio_.reset();
      setErrorMessage(message);
      if (wasRunning) {
        changes_.notify();
      }
    }
  };
  auto made = makeWebAudio_ ? makeWebAudio_(gains_, volume_, failed)
                            : Result<std::shared_ptr<WebAudioEqualizer>>::failure(
                                  _("Orvel player couldn’t open the system audio route for EQ."));
  if (made) {
    logLine("Equalizer", "Equalizing the web view's sound");
    webAudio_ = std::move(made).value();
    setErrorMessage(std::nullopt);
  } else {
    webAudio_.reset();
    setErrorMessage(made.error());
  }
}

void PlayerEqualizer::setErrorMessage(std::optional<std::string> message) {
  if (errorMessage_ != message) {
    if (message) {
      logLine("Equalizer", *message);
    }
    errorMessage_ = std::move(message);
    changes_.notify();
  }
}

}  // namespace orvel
