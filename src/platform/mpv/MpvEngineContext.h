// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orvel {

class MpvVideoOutput;

// What the engine's players share with the engine, and may outlive it with.
class MpvEngineContext {
 public:
  using Options = std::vector<std::pair<std::string, std::string>>;

  explicit MpvEngineContext(Options options) : options_(std::move(options)) {}
  // Waits for every retired player thread to finish destroying its core.
  ~MpvEngineContext();
  MpvEngineContext(const MpvEngineContext&) = delete;
  MpvEngineContext& operator=(const MpvEngineContext&) = delete;

  // libmpv options, in the order they are set; a later one wins.
  const Options& options() const { return options_; }

  // Takes a player's event thread, which destroys its core and then sets `done`; joining it is
  // left for later, so that a new playback does not wait for the old core to shut down.
  void retire(std::thread thread, std::shared_ptr<std::atomic<bool>> done);

  // Main thread only.
  MpvVideoOutput* videoOutput = nullptr;

 private:
  struct Retired {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  Options options_;
  std::mutex mutex_;
  std::vector<Retired> retired_;
};

}  // namespace orvel
