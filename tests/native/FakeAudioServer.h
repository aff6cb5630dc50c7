// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/ObserverList.h"
#include "native/AudioServer.h"

namespace orvel {

// A sound server in memory: modules, sinks and playback streams that behave as PulseAudio's
// do where the route depends on it (unloading a sink moves its streams to the default sink).
// Any request can be made to fail through `failures`, keyed by the request's name.
class FakeAudioServer final : public AudioServer {
 public:
  struct Module {
    std::string name;
    std::string arguments;
    bool operator==(const Module&) const = default;
  };

  struct PassThrough final : AudioPassThrough {
    PassThrough(FakeAudioServer& server, std::shared_ptr<AudioProcessor> filters,
                std::function<void(AudioServerError)> onFailure)
        : owner(server), processor(std::move(filters)), failed(std::move(onFailure)) {}
    ~PassThrough() override {
      owner.log.push_back("closePassThrough");
      owner.passThrough = nullptr;
    }
    StreamFormat captureFormat() const override { return owner.captureFormat; }
    StreamFormat playbackFormat() const override { return owner.playbackFormat; }

    FakeAudioServer& owner;
    std::shared_ptr<AudioProcessor> processor;
    std::function<void(AudioServerError)> failed;
  };

  FakeAudioServer() {
    for (const auto& [index, name, rate] :
         {std::tuple{0u, "speakers", 48000u}, std::tuple{1u, "headphones", 44100u}}) {
      SinkInfo& sink = sinks[name];
      sink.index = index;
      sink.name = name;
      sink.monitorSource = std::string(name) + ".monitor";
      sink.sampleRate = rate;
    }
  }

  // Adds a playback stream on the default sink, as a client would.
  SinkInput& addStream(std::string binary, std::uint32_t client, bool corked = false) {
    streams.push_back({.index = nextStream++,
                       .client = client,
                       .sink = sinks[defaultSink].index,
                       .corked = corked,
                       .processBinary = std::move(binary)});
    return streams.back();
  }
  SinkInput* stream(std::uint32_t index) {
    for (SinkInput& candidate : streams) {
      if (candidate.index == index) {
        return &candidate;
      }
    }
    return nullptr;
  }
  const SinkInfo* sinkNamed(const std::string& name) const {
    auto found = sinks.find(name);
    return found == sinks.end() ? nullptr : &found->second;
  }

  void announceSinkInputsChanged() { events.notify(true); }
  // The server dies: its modules and streams go with it.
  void die() {
    connected = false;
    reachable = false;
    modules.clear();
    streams.clear();
    events.notify(false);
  }

  AudioServerStatus connect() override {
    log.push_back("connect");
    if (!reachable) {
      return AudioServerError{AudioServerError::Kind::unreachable, 6};
    }
    connected = true;
    return std::nullopt;
  }
  AudioServerResult<ServerInfo> serverInfo() override {
    if (auto error = check("serverInfo")) {
      return *error;
    }
    return ServerInfo{defaultSink};
  }
  AudioServerResult<std::vector<SinkInput>> sinkInputs() override {
    if (auto error = check("sinkInputs")) {
      return *error;
    }
    return streams;
  }
  AudioServerResult<SinkInfo> sink(const std::string& name) override {
    if (auto error = check("sink")) {
      return *error;
    }
    const SinkInfo* found = sinkNamed(name);
    if (!found) {
      return AudioServerError{AudioServerError::Kind::failed, kNoEntity};
    }
    return *found;
  }
  AudioServerResult<std::uint32_t> loadModule(const std::string& name,
                                              const std::string& arguments) override {
    if (auto error = check("loadModule")) {
      return *error;
    }
    // As PulseAudio, a sink name already taken fails the module.
    const std::string sinkName = argument(arguments, "sink_name");
    if (sinks.contains(sinkName)) {
      return AudioServerError{AudioServerError::Kind::failed, kNoEntity};
    }
    const std::uint32_t index = nextModule++;
    modules[index] = {name, arguments};
    std::string owner = argument(arguments, "orvel.player.pid");
    if (owner.ends_with('\'')) {
      owner.pop_back();
    }
    sinks[sinkName] = {
        .index = nextSink++,
        .name = sinkName,
        .monitorSource = sinkName + ".monitor",
        .sampleRate = static_cast<std::uint32_t>(std::stoul("0" + argument(arguments, "rate"))),
        .ownerModule = index,
        .description = arguments.find("device.description=\"Orvel player EQ\"") != std::string::npos
                           ? "Orvel player EQ"
                           : "",
        .ownerProcess = owner};
    moduleSinks[index] = sinkName;
    return index;
  }
  AudioServerStatus unloadModule(std::uint32_t module) override {
    if (auto error = check("unloadModule")) {
      return error;
    }
    if (!modules.erase(module)) {
      return AudioServerError{AudioServerError::Kind::failed, kNoEntity};
    }
    const std::uint32_t gone = sinks[moduleSinks[module]].index;
    sinks.erase(moduleSinks[module]);
    for (SinkInput& candidate : streams) {
      if (candidate.sink == gone) {
        candidate.sink = sinks[defaultSink].index;
      }
    }
    return std::nullopt;
  }
  AudioServerStatus moveSinkInput(std::uint32_t sinkInput, std::uint32_t sinkIndex) override {
    if (auto error = check("moveSinkInput")) {
      return error;
    }
    SinkInput* moved = stream(sinkInput);
    bool sinkExists = false;
    for (const auto& entry : sinks) {
      sinkExists = sinkExists || entry.second.index == sinkIndex;
    }
    if (!moved || !sinkExists) {
      return AudioServerError{AudioServerError::Kind::failed, kNoEntity};
    }
    moved->sink = sinkIndex;
    return std::nullopt;
  }
  AudioServerStatus restartSink(std::uint32_t sinkIndex) override {
    if (auto error = check("restartSink")) {
      return error;
    }
    restartedSinks.push_back(sinkIndex);
    return std::nullopt;
  }
  AudioServerResult<std::unique_ptr<AudioPassThrough>> openPassThrough(
      const std::string& source, std::uint32_t sampleRate,
      std::shared_ptr<AudioProcessor> processor,
      std::function<void(AudioServerError)> failed) override {
    if (auto error = check("openPassThrough")) {
      return *error;
    }
    passThroughSource = source;
    passThroughRate = sampleRate;
    if (!captureFormat.sampleRate) {
      captureFormat = {true, 2, sampleRate};
    }
    if (!playbackFormat.sampleRate) {
      playbackFormat = {true, 2, sampleRate};
    }
    auto opened = std::make_unique<PassThrough>(*this, std::move(processor), std::move(failed));
    passThrough = opened.get();
    log.push_back("openPassThrough");
    return std::unique_ptr<AudioPassThrough>(std::move(opened));
  }
  ObserverToken observe(Events handlers) override {
    return events.add([handlers](bool changed) {
      if (changed && handlers.sinkInputsChanged) {
        handlers.sinkInputsChanged();
      } else if (!changed && handlers.connectionLost) {
        handlers.connectionLost();
      }
    });
  }

  static constexpr int kNoEntity = 5;

  bool reachable = true;
  bool connected = false;
  std::string defaultSink = "speakers";
  std::map<std::string, SinkInfo> sinks;
  std::map<std::uint32_t, Module> modules;
  std::vector<SinkInput> streams;
  std::map<std::string, AudioServerError> failures;
  // Asked before every request; an error it gives fails that request.
  std::function<std::optional<AudioServerError>(const std::string& request)> failWhen;
  // Left unset, a pass-through reports the format it was asked for.
  StreamFormat captureFormat;
  StreamFormat playbackFormat;
  PassThrough* passThrough = nullptr;
  std::string passThroughSource;
  std::uint32_t passThroughRate = 0;
  std::vector<std::string> log;
  std::vector<std::uint32_t> restartedSinks;
  // true: sink inputs changed; false: connection lost.
  ObserverList<bool> events;

 private:
  std::optional<AudioServerError> check(const std::string& request) {
    log.push_back(request);
    if (!connected) {
      return AudioServerError{AudioServerError::Kind::unreachable, 0};
    }
    if (failWhen) {
      if (auto error = failWhen(request)) {
        return error;
      }
    }
    auto failure = failures.find(request);
    if (failure != failures.end()) {
      return failure->second;
    }
    return std::nullopt;
  }
  static std::string argument(const std::string& arguments, const std::string& key) {
    const auto start = arguments.find(key + "=");
    if (start == std::string::npos) {
      return {};
    }
    const auto valueStart = start + key.size() + 1;
    return arguments.substr(valueStart, arguments.find(' ', valueStart) - valueStart);
  }

  std::uint32_t nextModule = 10;
  std::uint32_t nextSink = 2;
  std::uint32_t nextStream = 100;
  std::map<std::uint32_t, std::string> moduleSinks;
};

}  // namespace orvel
