// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/WebProcessEqualizer.h"

#include <unistd.h>

#include <set>
#include <utility>

#include "core/Log.h"

namespace orvel {

namespace {

// A web-engine stream's process: its client connection, or the stream alone when it has none.
std::uint64_t processKey(const SinkInput& stream) {
  if (stream.client != kNoAudioIndex) {
    return stream.client;
  }
  return (std::uint64_t{1} << 32) | stream.index;
}

}  // namespace

WebProcessEqualizer::WebProcessEqualizer(MainQueue& queue, AudioServer& server,
                                         std::shared_ptr<AudioProcessor> processor,
                                         FailureHandler failed, Options options)
    : queue_(queue),
      server_(server),
      processor_(std::move(processor)),
      failed_(std::move(failed)),
      options_(options),
      sinkName_(userSinkName()) {}

WebProcessEqualizer::~WebProcessEqualizer() {
  stop();
}

bool WebProcessEqualizer::isWebEngineStream(const SinkInput& stream) {
  return stream.processBinary == "WebKitWebProcess" || stream.processBinary == "WebKitGPUProcess";
}

std::string WebProcessEqualizer::sinkArguments(const std::string& sinkName,
                                               std::uint32_t sampleRate,
                                               std::int64_t ownerProcess) {
  // Float samples at the output's rate: the monitor then hands the processor what it takes,
  // and nothing is resampled between the private sink and the output. Spelled little-endian,
  // which every server's parser knows and the machines the player runs on are.
  return "sink_name=" + sinkName + " format=float32le rate=" + std::to_string(sampleRate) +
         " channels=2 channel_map=front-left,front-right sink_properties='device.description=\"" +
         kSinkDescription + "\" " + kOwnerProperty + "=" + std::to_string(ownerProcess) + "'";
}

std::string WebProcessEqualizer::userSinkName() {
  return kSinkNamePrefix + std::to_string(getuid());
}

bool WebProcessEqualizer::isPlayerSink(const SinkInfo& sink, const std::string& sinkName) {
  return sink.name == sinkName && sink.description == kSinkDescription &&
         sink.ownerModule != kNoAudioIndex;
}

bool WebProcessEqualizer::isLeftover(const SinkInfo& sink, const std::string& sinkName,
                                     std::int64_t self) {
  return isPlayerSink(sink, sinkName) && sink.ownerProcess != std::to_string(self);
}

std::optional<PlayerEqualizerError> WebProcessEqualizer::removeEarlierSinks() {
  // A server may hold several sinks of one name (PipeWire does); each pass removes the first.
  for (int pass = 0; pass < 8; ++pass) {
    auto earlier = server_.sink(sinkName_);
    if (!earlier.ok() || !isPlayerSink(earlier.value(), sinkName_)) {
      return std::nullopt;
    }
    logLine("Equalizer", "Removing a sink an earlier route left: module " +
                             std::to_string(earlier.value().ownerModule));
    if (auto error = server_.unloadModule(earlier.value().ownerModule)) {
      return errorFor(*error);
    }
  }
  return std::nullopt;
}

std::optional<PlayerEqualizerError> WebProcessEqualizer::start() {
  if (state_ != State::idle) {
    return std::nullopt;
  }
  if (auto error = server_.connect()) {
    finish(State::failed);
    return errorFor(*error);
  }
  events_ = server_.observe({.sinkInputsChanged = lifetime_.guard([this] { sinkInputsChanged(); }),
                             .connectionLost = lifetime_.guard([this] { connectionLost(); })});
  auto streams = server_.sinkInputs();
  if (!streams.ok()) {
    finish(State::failed);
    return errorFor(streams.error());
  }
  const Choice choice = choose(streams.value());
  if (choice.error) {
    finish(State::failed);
    return choice.error;
  }
  if (!choice.stream) {
    if (options_.audioWait <= 0) {
      finish(State::failed);
      return PlayerEqualizerError::ambiguousWebAudio();
    }
    state_ = State::waitingForAudio;
    audioWait_ =
        queue_.postDelayed(options_.audioWait, lifetime_.guard([this] { audioWaitEnded(); }));
    return std::nullopt;
  }
  if (auto error = build(streams.value(), *choice.stream)) {
    finish(State::failed);
    return error;
  }
  return std::nullopt;
}

void WebProcessEqualizer::stop() {
  if (state_ == State::stopped || state_ == State::failed) {
    return;
  }
  dismantle();
  finish(State::stopped);
}

WebProcessEqualizer::Choice WebProcessEqualizer::choose(
    const std::vector<SinkInput>& streams) const {
  std::set<std::uint64_t> producing;
  const SinkInput* chosen = nullptr;
  for (const SinkInput& stream : streams) {
    if (isWebEngineStream(stream) && !stream.corked) {
      producing.insert(processKey(stream));
      chosen = &stream;
    }
  }
  if (producing.size() > 1) {
    return {std::nullopt, PlayerEqualizerError::ambiguousWebAudio()};
  }
  if (!chosen) {
    return {};
  }
  return {*chosen, std::nullopt};
}

std::optional<PlayerEqualizerError> WebProcessEqualizer::build(
    const std::vector<SinkInput>& streams, const SinkInput& chosen) {
  auto server = server_.serverInfo();
  if (!server.ok()) {
    return errorFor(server.error());
  }
  auto output = server_.sink(server.value().defaultSinkName);
  if (!output.ok()) {
    return errorFor(output.error());
  }
  defaultAtStart_ = output.value().index;
  const std::uint32_t rate = output.value().sampleRate;
  if (rate == 0) {
    return PlayerEqualizerError::unsupportedAudioFormat();
  }
  if (auto error = removeEarlierSinks()) {
    return error;
  }
  auto module = server_.loadModule("module-null-sink", sinkArguments(sinkName_, rate, getpid()));
  if (!module.ok()) {
    return errorFor(module.error());
  }
  module_ = module.value();

  auto error = [&]() -> std::optional<PlayerEqualizerError> {
    auto sink = server_.sink(sinkName_);
    if (!sink.ok()) {
      return errorFor(sink.error());
    }
    sinkIndex_ = sink.value().index;
    processor_->prepare(rate);
    sampleRate_ = rate;
    auto passThrough = server_.openPassThrough(
        sink.value().monitorSource, rate, processor_,
        lifetime_.guard([this](AudioServerError failure) { passThroughFailed(failure); }));
    if (!passThrough.ok()) {
      return errorFor(passThrough.error());
    }
    passThrough_ = std::move(passThrough.value());
    if (!passThrough_) {
      return PlayerEqualizerError::audioIOProcUnavailable();
    }
    const StreamFormat expected{.float32 = true, .channels = 2, .sampleRate = rate};
    if (passThrough_->captureFormat() != expected || passThrough_->playbackFormat() != expected) {
      return PlayerEqualizerError::unsupportedAudioFormat();
    }
    if (auto restarted = server_.restartSink(sinkIndex_)) {
      return errorFor(*restarted);
    }
    routed_ = chosen;
    return routeStreamsOf(streams);
  }();
  if (error) {
    dismantle();
    return error;
  }
  state_ = State::running;
  audioWait_.cancel();
  return std::nullopt;
}

bool WebProcessEqualizer::belongsToRoute(const SinkInput& stream) const {
  if (!isWebEngineStream(stream)) {
    return false;
  }
  return routed_.client != kNoAudioIndex ? stream.client == routed_.client
                                         : stream.index == routed_.index;
}

std::optional<PlayerEqualizerError> WebProcessEqualizer::routeStreamsOf(
    const std::vector<SinkInput>& streams) {
  for (const SinkInput& stream : streams) {
    if (!belongsToRoute(stream) || !seen_.insert(stream.index).second ||
        stream.sink == sinkIndex_) {
      continue;
    }
    if (auto error = server_.moveSinkInput(stream.index, sinkIndex_)) {
      return errorFor(*error);
    }
    origins_[stream.index] = stream.sink;
  }
  return std::nullopt;
}

void WebProcessEqualizer::dismantle() {
  audioWait_.cancel();
  // Sound stops reaching the processor before any stream leaves: a short gap is better than
  // hearing the stream twice.
  passThrough_.reset();
  if (module_) {
    moveEverythingBack();
    server_.unloadModule(*module_);
    module_.reset();
  }
  origins_.clear();
}

void WebProcessEqualizer::moveEverythingBack() {
  auto streams = server_.sinkInputs();
  if (!streams.ok()) {
    return;
  }
  std::optional<std::uint32_t> output;
  bool outputLooked = false;
  const auto currentOutput = [&]() -> std::optional<std::uint32_t> {
    if (!outputLooked) {
      outputLooked = true;
      auto server = server_.serverInfo();
      if (server.ok()) {
        auto sink = server_.sink(server.value().defaultSinkName);
        if (sink.ok() && sink.value().index != sinkIndex_) {
          output = sink.value().index;
        }
      }
    }
    return output;
  };
  for (const SinkInput& stream : streams.value()) {
    if (stream.sink != sinkIndex_) {
      continue;
    }
    // A stream that played on the default output goes back to the default output, which the
    // user may have changed meanwhile; the server then lets it follow the default again rather
    // than pinning it to a sink.
    auto origin = origins_.find(stream.index);
    if (origin != origins_.end() && origin->second != defaultAtStart_ &&
        !server_.moveSinkInput(stream.index, origin->second)) {
      continue;
    }
    // Otherwise, or when its own sink has gone, or when it came onto the private sink by other
    // means, the output in use now is the best place for it.
    if (auto target = currentOutput()) {
      server_.moveSinkInput(stream.index, *target);
    }
  }
}

void WebProcessEqualizer::finish(State state) {
  events_.cancel();
  audioWait_.cancel();
  state_ = state;
}

void WebProcessEqualizer::fail(const PlayerEqualizerError& error) {
  finish(State::failed);
  // The handler may destroy this object, so nothing of it is touched afterwards.
  FailureHandler failed = failed_;
  if (failed) {
    failed(error);
  }
}

void WebProcessEqualizer::sinkInputsChanged() {
  if (state_ != State::waitingForAudio && state_ != State::running) {
    return;
  }
  auto streams = server_.sinkInputs();
  if (!streams.ok()) {
    // A broken connection is reported by itself; anything else ends the attempt.
    if (streams.error().kind != AudioServerError::Kind::unreachable) {
      dismantle();
      fail(errorFor(streams.error()));
    }
    return;
  }
  if (state_ == State::running) {
    // A process plays each media element through a stream of its own; they all join the route,
    // as the process's sound would. One that cannot be moved just plays unfiltered.
    routeStreamsOf(streams.value());
    return;
  }
  const Choice choice = choose(streams.value());
  if (choice.error) {
    fail(*choice.error);
  } else if (choice.stream) {
    if (auto error = build(streams.value(), *choice.stream)) {
      fail(*error);
    }
  }
}

void WebProcessEqualizer::connectionLost() {
  if (state_ != State::waitingForAudio && state_ != State::running) {
    return;
  }
  // The private sink went with the server; a server started since may give its index to
  // something else, so nothing is unloaded.
  passThrough_.reset();
  module_.reset();
  origins_.clear();
  fail(PlayerEqualizerError::soundServerUnavailable());
}

void WebProcessEqualizer::passThroughFailed(const AudioServerError& error) {
  if (state_ != State::running) {
    return;
  }
  if (error.kind == AudioServerError::Kind::unreachable) {
    connectionLost();
    return;
  }
  dismantle();
  fail(errorFor(error));
}

void WebProcessEqualizer::audioWaitEnded() {
  if (state_ == State::waitingForAudio) {
    fail(PlayerEqualizerError::ambiguousWebAudio());
  }
}

PlayerEqualizerError WebProcessEqualizer::errorFor(const AudioServerError& error) {
  switch (error.kind) {
    case AudioServerError::Kind::unreachable:
      return PlayerEqualizerError::soundServerUnavailable();
    case AudioServerError::Kind::streamEnded:
      return PlayerEqualizerError::audioIOProcUnavailable();
    case AudioServerError::Kind::failed:
      break;
  }
  return PlayerEqualizerError::audioStatus(error.code);
}

}  // namespace orvel
