// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <glib.h>

#include <functional>
#include <memory>

namespace orvel {

// Runs work off the main loop, at most one job per processor at a time; what a job returns runs
// on the main loop after it. Work not started when the pool goes is dropped, and work running
// then is not waited for (a probe stuck on a device must not hold up quitting): it finishes
// alone, and what it returns is dropped.
class WorkerPool {
 public:
  using MainTurn = std::function<void()>;
  using Work = std::function<MainTurn()>;

  WorkerPool();
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void run(Work work);

 private:
  GThreadPool* pool_ = nullptr;
  // Read and cleared on the main loop only.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel
