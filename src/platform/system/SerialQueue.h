// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "core/MainQueue.h"

namespace orvel {

// A queue of its own: one worker thread runs its tasks in order, each delayed task at its time.
// Work that blocks (running a command to its end) goes here, never on the main loop.
class SerialQueue final : public MainQueue {
 public:
  SerialQueue();
  // Tasks not yet run are dropped; a task running now is waited for.
  ~SerialQueue() override;
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void post(Task task) override;
  [[nodiscard]] TaskHandle postDelayed(double seconds, Task task) override;
  double now() const override;

  // Runs the task on the queue and waits for it; runs it at once when already on the queue.
  void runAndWait(Task task);
  bool isCurrent() const { return std::this_thread::get_id() == worker_.get_id(); }

 private:
  using Key = std::pair<double, std::uint64_t>;
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<Key, Task> tasks;
    std::uint64_t lastSequence = 0;
    bool stopping = false;
  };
  Key enqueue(double due, Task task);
  void work();

  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread worker_;
};

}  // namespace orvel
