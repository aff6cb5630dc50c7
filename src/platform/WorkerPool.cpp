#include "platform/WorkerPool.h"

#include <utility>

namespace orvel {
namespace {

using Work = std::function<void()>;

void runWork(gpointer work, gpointer) {
  (*static_cast<Work*>(work))();
  delete static_cast<Work*>(work);
}

}  // namespace

WorkerPool::WorkerPool()
    : pool_(g_thread_pool_new_full(
          runWork, nullptr, [](gpointer work) { delete static_cast<Work*>(work); },
          static_cast<gint>(g_get_num_processors()), FALSE, nullptr)) {}

WorkerPool::~WorkerPool() {
  // Drops what has not started and waits for what runs.
  g_thread_pool_free(pool_, TRUE, TRUE);
}

void WorkerPool::run(std::function<void()> work) {
  g_thread_pool_push(pool_, new Work(std::move(work)), nullptr);
}

}  // namespace orvel
