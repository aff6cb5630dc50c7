// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/Cancellable.h"
#include "native/AudioProcessor.h"

namespace orvel {

inline constexpr std::uint32_t kNoAudioIndex = 0xffffffffu;

// Why a sound server request failed.
struct AudioServerError {
  enum class Kind {
    // No server answers, or the connection broke.
    unreachable,
    // The server refused or failed the request; `code` is its error number.
    failed,
    // A stream of a pass-through ended without the server giving a reason.
    streamEnded,
  };
  Kind kind = Kind::failed;
  int code = 0;

  bool operator==(const AudioServerError&) const = default;
};

// A value from the sound server, or why there is none.
template <typename T>
class AudioServerResult {
 public:
  AudioServerResult(T value) : storage_(std::move(value)) {}
  AudioServerResult(AudioServerError error) : storage_(error) {}

  bool ok() const { return storage_.index() == 0; }
  T& value() { return std::get<0>(storage_); }
  const T& value() const { return std::get<0>(storage_); }
  const AudioServerError& error() const { return std::get<1>(storage_); }

 private:
  std::variant<T, AudioServerError> storage_;
};

// A request that returns nothing: no error means it was done.
using AudioServerStatus = std::optional<AudioServerError>;

// A playback stream as the server lists it.
struct SinkInput {
  std::uint32_t index = 0;
  // The connection that made it: one per process for the web engine's sound.
  std::uint32_t client = kNoAudioIndex;
  std::uint32_t sink = kNoAudioIndex;
  bool corked = false;
  // "application.process.binary" of the stream.
  std::string processBinary;

  bool operator==(const SinkInput&) const = default;
};

struct SinkInfo {
  std::uint32_t index = kNoAudioIndex;
  std::string name;
  std::string monitorSource;
  std::uint32_t sampleRate = 0;
  // The module that made the sink, and the properties a route gives its own.
  std::uint32_t ownerModule = kNoAudioIndex;
  std::string description;
  std::string ownerProcess;
};

struct ServerInfo {
  std::string defaultSinkName;
};

// The sample format of one stream of a pass-through.
struct StreamFormat {
  bool float32 = false;
  std::uint32_t channels = 0;
  std::uint32_t sampleRate = 0;

  bool operator==(const StreamFormat&) const = default;
};

// Records a source and plays what it records, after an `AudioProcessor`, to the default sink.
// Destroying it stops both streams; once the destructor returns the processor is not called
// again.
class AudioPassThrough {
 public:
  virtual ~AudioPassThrough() = default;
  virtual StreamFormat captureFormat() const = 0;
  virtual StreamFormat playbackFormat() const = 0;
};

// The sound server as the web audio route needs it. Requests are made on the main thread and
// answer before they return (each waits a bounded time for the server); what the server reports
// by itself reaches the observers on the main queue.
class AudioServer {
 public:
  struct Events {
    // A playback stream appeared, changed (corked, moved) or went.
    std::function<void()> sinkInputsChanged;
    // The connection to the server broke; later requests connect again.
    std::function<void()> connectionLost;
  };

  virtual ~AudioServer() = default;

  // Connects unless connected. Requests on a broken connection fail as unreachable until this
  // is called again, so a route never acts on a server other than the one it was built on.
  virtual AudioServerStatus connect() = 0;
  virtual AudioServerResult<ServerInfo> serverInfo() = 0;
  virtual AudioServerResult<std::vector<SinkInput>> sinkInputs() = 0;
  virtual AudioServerResult<SinkInfo> sink(const std::string& name) = 0;
  // The index of the loaded module.
  virtual AudioServerResult<std::uint32_t> loadModule(const std::string& name,
                                                      const std::string& arguments) = 0;
  virtual AudioServerStatus unloadModule(std::uint32_t module) = 0;
  virtual AudioServerStatus moveSinkInput(std::uint32_t sinkInput, std::uint32_t sink) = 0;
  // Suspends and resumes the sink, so that it renders afresh at the latency its clients ask for
  // now: a new null sink renders its first two seconds at once, before anyone asks for less, and
  // would hold back what is moved onto it that long.
  virtual AudioServerStatus restartSink(std::uint32_t sink) = 0;

  // Records `source` as stereo 32-bit float at `sampleRate` and plays it to the default sink
  // after `processor`. `failed` is posted to the main queue if a stream breaks later; it is not
  // called once the pass-through is gone.
  virtual AudioServerResult<std::unique_ptr<AudioPassThrough>> openPassThrough(
      const std::string& source, std::uint32_t sampleRate,
      std::shared_ptr<AudioProcessor> processor, std::function<void(AudioServerError)> failed) = 0;

  [[nodiscard]] virtual ObserverToken observe(Events events) = 0;
};

}  // namespace orvel
