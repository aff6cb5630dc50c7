// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

#include "core/Cancellable.h"

namespace orvel {

// The main loop as the program's logic sees it: everything that touches state runs here.
class MainQueue {
 public:
  using Task = std::function<void()>;

  virtual ~MainQueue() = default;

  // Runs the task on a later turn of the loop. Safe to call from any thread.
  virtual void post(Task task) = 0;

  // Runs the task once, after the delay in seconds, unless the handle is cancelled or dropped
  // first. Called on the main thread.
  [[nodiscard]] virtual TaskHandle postDelayed(double seconds, Task task) = 0;

  // Monotonic seconds; only differences mean anything.
  virtual double now() const = 0;
};

}  // namespace orvel
