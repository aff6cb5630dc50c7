// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "core/MainQueue.h"

namespace orvel {

// A main queue whose clock only moves when the test says so, so that timers, debounces and
// timeouts are tested without sleeping. Tasks run on the thread that advances the clock.
class ManualMainQueue final : public MainQueue {
 public:
  ManualMainQueue();
  ~ManualMainQueue() override;
  ManualMainQueue(const ManualMainQueue&) = delete;
  ManualMainQueue& operator=(const ManualMainQueue&) = delete;

  void post(Task task) override;
  [[nodiscard]] TaskHandle postDelayed(double seconds, Task task) override;
  double now() const override;

  // Moves the clock forward, running every task that falls due on the way (including ones that
  // those tasks post) at its own due time, earliest first and ties in posting order.
  void advance(double seconds);

  // Runs the tasks due now, and the ones they post for now, until none is left.
  void runUntilIdle();

  std::size_t pendingCount() const;

 private:
  // Orders tasks by due time, then by posting order.
  using Key = std::pair<double, std::uint64_t>;
  struct State {
    mutable std::mutex mutex;
    double now = 0;
    std::uint64_t lastSequence = 0;
    std::map<Key, Task> tasks;
  };

  Key enqueue(double due, Task task);
  // Runs the earliest task due no later than the limit; false when there is none.
  bool runNext(double limit);

  std::shared_ptr<State> state_;
};

}  // namespace orvel
