// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Cancellable.h"
#include "core/Lifetime.h"
#include "core/MainQueue.h"
#include "native/AudioProcessor.h"
#include "native/AudioServer.h"
#include "native/PlayerEqualizerError.h"

namespace orvel {

// Equalizes the web view's sound, which the web engine plays from a process of its own: the
// streams of the one web-engine process that is producing sound are moved onto a private null
// sink, whose monitor is recorded, run through the processor and played to the default sink.
// One object is one attempt: `start` once, `stop` (or destruction) tears everything down again.
// Main thread only.
class WebProcessEqualizer {
 public:
  enum class State { idle, waitingForAudio, running, stopped, failed };

  struct Options {
    // How long `start` waits for web audio to begin when none plays yet: the player reports
    // "playing" about when the engine uncorks its stream, so either may come first.
    double audioWait = 2.0;
  };

  using FailureHandler = std::function<void(const PlayerEqualizerError&)>;

  static constexpr const char* kSinkDescription = "Orvel player EQ";
  // Followed by the user's number: one name for every route of this user's player (there is one
  // player per user), so the sound server's and the session manager's memories of sinks hold one
  // entry, not one per route.
  static constexpr const char* kSinkNamePrefix = "com.example.OrvelPlayer.eq.";
  // The sink property naming the process that made it.
  static constexpr const char* kOwnerProperty = "orvel.player.pid";

  // `failed` hears about failures after `start` has returned (web audio never began, the server
  // went away, the route broke); it may destroy this object.
  WebProcessEqualizer(MainQueue& queue, AudioServer& server,
                      std::shared_ptr<AudioProcessor> processor, FailureHandler failed,
                      Options options);
  WebProcessEqualizer(MainQueue& queue, AudioServer& server,
                      std::shared_ptr<AudioProcessor> processor, FailureHandler failed)
      : WebProcessEqualizer(queue, server, std::move(processor), std::move(failed), Options{}) {}
  ~WebProcessEqualizer();
  WebProcessEqualizer(const WebProcessEqualizer&) = delete;
  WebProcessEqualizer& operator=(const WebProcessEqualizer&) = delete;

  // Builds the route, or starts waiting for web audio. An error returned here has left nothing
  // behind on the server. Does nothing unless idle.
  std::optional<PlayerEqualizerError> start();
  // Moves the streams back to where they were and removes the private sink.
  void stop();

  State state() const { return state_; }
  const std::string& sinkName() const { return sinkName_; }
  // The rate the processor runs at once the route is built.
  double sampleRate() const { return sampleRate_; }

  // True for the processes the web engine plays its sound from.
  static bool isWebEngineStream(const SinkInput& stream);
  // The module arguments of the private sink, which names the process that makes it.
  static std::string sinkArguments(const std::string& sinkName, std::uint32_t sampleRate,
                                   std::int64_t ownerProcess);
  // This user's sink name.
  static std::string userSinkName();
  // Whether the sink is one a route of this user's player made (its name and description): a
  // route removes such a sink before it makes its own. Another program's sink never is.
  static bool isPlayerSink(const SinkInfo& sink, const std::string& sinkName);
  // Whether the sink is one an earlier player left behind (killed before it could remove it):
  // a player sink made by another process than `self`.
  static bool isLeftover(const SinkInfo& sink, const std::string& sinkName, std::int64_t self);

 private:
  // The web-engine process to route, none while nothing plays, or an error.
  struct Choice {
    std::optional<SinkInput> stream;
    std::optional<PlayerEqualizerError> error;
  };

  Choice choose(const std::vector<SinkInput>& streams) const;
  // Removes the sinks of this name that a route left (at most a few); an error when one
  // cannot be.
  std::optional<PlayerEqualizerError> removeEarlierSinks();
  std::optional<PlayerEqualizerError> build(const std::vector<SinkInput>& streams,
                                            const SinkInput& chosen);
  bool belongsToRoute(const SinkInput& stream) const;
  std::optional<PlayerEqualizerError> routeStreamsOf(const std::vector<SinkInput>& streams);
  void dismantle();
  void moveEverythingBack();
  void fail(const PlayerEqualizerError& error);
  void finish(State state);

  void sinkInputsChanged();
  void connectionLost();
  void passThroughFailed(const AudioServerError& error);
  void audioWaitEnded();

  static PlayerEqualizerError errorFor(const AudioServerError& error);

  MainQueue& queue_;
  AudioServer& server_;
  std::shared_ptr<AudioProcessor> processor_;
  FailureHandler failed_;
  Options options_;
  std::string sinkName_;
  State state_ = State::idle;
  double sampleRate_ = 0;

  std::optional<std::uint32_t> module_;
  std::uint32_t sinkIndex_ = kNoAudioIndex;
  // The default output when the route was built.
  std::uint32_t defaultAtStart_ = kNoAudioIndex;
  // The stream the route was made for; its process's other streams join it.
  SinkInput routed_;
  std::unique_ptr<AudioPassThrough> passThrough_;
  // Where each stream moved onto the private sink was before.
  std::map<std::uint32_t, std::uint32_t> origins_;
  // Streams of the routed process already seen: one the user moved away is not taken back.
  std::set<std::uint32_t> seen_;

  ObserverToken events_;
  TaskHandle audioWait_;
  Lifetime lifetime_;
};

}  // namespace orvel
