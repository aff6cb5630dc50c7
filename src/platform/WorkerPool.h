#pragma once

#include <glib.h>

#include <functional>

namespace orvel {

// Runs work off the main loop, at most one job per processor at a time. Work not started when
// the pool goes is dropped; work running then is waited for.
class WorkerPool {
 public:
  WorkerPool();
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  void run(std::function<void()> work);

 private:
  GThreadPool* pool_ = nullptr;
};

}  // namespace orvel
