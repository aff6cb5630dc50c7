// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Defaults.h"
#include "core/ObserverList.h"
#include "native/MKVPlayback.h"
#include "native/PlayerEQBands.h"
#include "native/WebAudioEqualizer.h"

namespace orvel {

// The player window's one 7-band equalizer. It keeps the gains, and decides where the sound is
// equalized: by the native engine while an MKV plays, by a route for the web view's sound while
// a web video is playing, nowhere otherwise.
class PlayerEqualizer {
 public:
  static constexpr std::size_t kBandCount = PlayerEQBands::count;
  static constexpr const char* kGainsKey = "playerEqualizerGains";
  static constexpr double kMaximumGain = 12;

  PlayerEqualizer(Defaults& defaults, WebAudioEqualizerFactory makeWebAudio);
  ~PlayerEqualizer();
  PlayerEqualizer(const PlayerEqualizer&) = delete;
  PlayerEqualizer& operator=(const PlayerEqualizer&) = delete;

  bool isEnabled() const { return isEnabled_; }
  // Never stored: every start is off.
  void setEnabled(bool enabled);
  const std::vector<double>& gains() const { return gains_; }
  void setGain(double gain, std::size_t band);
  void resetGains();
  const std::optional<std::string>& errorMessage() const { return errorMessage_; }

  // The native playback of the window; it must outlive this equalizer or be cleared first.
  void setNativePlayback(MKVPlayback* playback) { nativePlayback_ = playback; }
  // What plays and how loud (0...1); routes the equalizer accordingly.
  void updatePlayback(bool usesNative, bool isPlaying, double volume);
  void setVolume(double volume);
  bool isWebAudioRunning() const { return webAudio_ != nullptr; }

  // Views re-read the switch, the gains and the error line when told.
  [[nodiscard]] ObserverToken observeChanges(std::function<void()> observer) {
    return changes_.add(std::move(observer));
  }

 private:
  void loadGains();
  void storeGains();
  void gainsChanged();
  void route();
  void routeWithoutNotice();
  void setNativeEqualizer(bool enabled);
  void setErrorMessage(std::optional<std::string> message);

  Defaults& defaults_;
  WebAudioEqualizerFactory makeWebAudio_;
  bool isEnabled_ = false;
  std::vector<double> gains_;
  std::optional<std::string> errorMessage_;
  MKVPlayback* nativePlayback_ = nullptr;
  bool usesNative_ = false;
  bool isPlaying_ = false;
  double volume_ = 1.0;
  std::shared_ptr<WebAudioEqualizer> webAudio_;
  ObserverList<> changes_;
  // A route that breaks later reports through a callback that may outlive this equalizer.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace orvel
