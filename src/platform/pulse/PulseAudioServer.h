// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/MainQueue.h"
#include "native/AudioServer.h"

struct pa_sink_info;

namespace orvel {

class PulseMainLoop;

// What the route needs to know of a sink the server describes.
SinkInfo sinkInfoOf(const pa_sink_info& info);

// The sound server over the PulseAudio client API, which PipeWire serves too. Requests come
// from the main thread and wait for their answer (at most a few seconds each, so a stalled
// server cannot hang the player); server events and broken streams are posted to the main queue.
class PulseAudioServer final : public AudioServer {
 public:
  explicit PulseAudioServer(MainQueue& queue);
  ~PulseAudioServer() override;
  PulseAudioServer(const PulseAudioServer&) = delete;
  PulseAudioServer& operator=(const PulseAudioServer&) = delete;

  AudioServerStatus connect() override;
  AudioServerResult<ServerInfo> serverInfo() override;
  AudioServerResult<std::vector<SinkInput>> sinkInputs() override;
  AudioServerResult<SinkInfo> sink(const std::string& name) override;
  AudioServerResult<std::uint32_t> loadModule(const std::string& name,
                                              const std::string& arguments) override;
  AudioServerStatus unloadModule(std::uint32_t module) override;
  AudioServerStatus moveSinkInput(std::uint32_t sinkInput, std::uint32_t sink) override;
  AudioServerStatus restartSink(std::uint32_t sink) override;
  AudioServerResult<std::unique_ptr<AudioPassThrough>> openPassThrough(
      const std::string& source, std::uint32_t sampleRate,
      std::shared_ptr<AudioProcessor> processor,
      std::function<void(AudioServerError)> failed) override;
  [[nodiscard]] ObserverToken observe(Events events) override;

 private:
  // Shared with the pass-throughs, which may outlive this object.
  std::shared_ptr<PulseMainLoop> loop_;
};

}  // namespace orvel
