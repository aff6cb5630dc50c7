// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Cancellable.h"
#include "core/MainQueue.h"
#include "core/ObserverList.h"
#include "media/StreamingMedia.h"
#include "native/MKVVideoSurface.h"
#include "native/MediaEngine.h"
#include "native/NativePlayer.h"
#include "native/PlayerEQBands.h"

namespace orvel {

// Plays MKV media through the native engine and reports its progress as snapshots with the
// web player's vocabulary (time, duration, state code), so the session controller can treat both
// alike. One lives as long as the player window; every `play` gets a fresh engine player.
// Main thread only.
class MKVPlayback {
 public:
  // The session's own vocabulary: 1 playing, 2 paused, 3 not playing for another reason,
  // 0 ended, -1 failed.
  using Snapshot = PlaybackSnapshot;

  static constexpr double kPollInterval = 0.25;
  // The engine equalizer's target band frequencies in Hz, the same seven as the equalizer model.
  static constexpr const auto& kEqualizerFrequencies = PlayerEQBands::frequencies;

  MKVPlayback(MainQueue& queue, MediaEngine& engine);
  ~MKVPlayback();
  MKVPlayback(const MKVPlayback&) = delete;
  MKVPlayback& operator=(const MKVPlayback&) = delete;

  // Starts the media's playback URL at the start time (seconds; negative or not a number means
  // 0) with the volume 0...100.
  void play(const StreamingMedia& media, double startTime, double volume);
  // Ends playback; snapshots still in flight carry the old session ID from now on.
  void stop();
  // Pauses, resumes, or after the end starts the same media again from 0.
  void togglePlayPause();
  void seek(double seconds);
  void setVolume(double volume);
  // Kept for every later player too: a new video plays at the same speed.
  void setSpeed(double rate);
  std::vector<MediaTrack> tracks() const;
  std::vector<MediaChapter> chapters() const;
  void selectTrack(MediaTrack::Kind kind, std::optional<std::int64_t> id);
  void addSubtitleFile(const std::string& path);
  // The answer comes on the main queue, unless the playback is gone by then.
  void saveFrame(const std::string& path, std::function<void(bool saved)> done);
  // Pushes `equalizerEnabled` and `equalizerGains` to the engine player.
  void applyEqualizer();

  void setEqualizerEnabled(bool enabled) { equalizerEnabled_ = enabled; }
  void setEqualizerGains(std::vector<double> gains) { equalizerGains_ = std::move(gains); }
  bool equalizerEnabled() const { return equalizerEnabled_; }
  const std::vector<double>& equalizerGains() const { return equalizerGains_; }

  // Every snapshot, as it is taken.
  [[nodiscard]] ObserverToken observeUpdates(std::function<void(const Snapshot&)> observer) {
    return updates_.add(std::move(observer));
  }
  const std::optional<Snapshot>& snapshot() const { return snapshot_; }
  const std::string& sessionID() const { return sessionID_; }
  MKVVideoSurface& surface() { return surface_; }

  // The snapshot state code of an engine state.
  static int stateCode(MediaEngineState state, bool isPlaying);
  // Gains for the engine's bands: each of the seven target bands lands on the engine band
  // nearest in frequency (the first on a tie, the later target winning a shared band), clamped
  // to -12...12 dB; the other engine bands stay flat.
  static std::vector<double> engineAmplifications(const std::vector<double>& gains,
                                                  const std::vector<double>& engineFrequencies);

 private:
  void poll(std::optional<MediaEngineState> given);
  void mediaPlayerStateChanged(std::uint64_t playerGeneration, MediaEngineState state);
  void scheduleTick();
  void detachPlayer();

  MainQueue& queue_;
  MediaEngine& engine_;
  ObserverList<const Snapshot&> updates_;
  std::optional<Snapshot> snapshot_;
  std::string sessionID_;
  MKVVideoSurface surface_;
  std::shared_ptr<MediaEnginePlayer> player_;
  // Tells a player's queued state changes from those of the player that replaced it.
  std::uint64_t playerGeneration_ = 0;
  std::optional<StreamingMedia> currentMedia_;
  TaskHandle timer_;
  std::optional<std::string> mediaID_;
  std::optional<double> pendingStart_;
  bool finished_ = false;
  double speed_ = 1.0;
  bool equalizerEnabled_ = false;
  std::vector<double> equalizerGains_ = std::vector<double>(7, 0.0);
  // Timers and engine callbacks hold this weakly, so work queued for a playback that is gone
  // does nothing.
  std::shared_ptr<MKVPlayback*> self_;
};

}  // namespace orvel
