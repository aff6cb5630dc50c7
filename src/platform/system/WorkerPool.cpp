// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/WorkerPool.h"

#include <utility>

namespace orvel {
namespace {

struct Job {
  WorkerPool::Work work;
  std::shared_ptr<bool> poolAlive;
};

struct Delivery {
  WorkerPool::MainTurn turn;
  std::shared_ptr<bool> poolAlive;
};

void runJob(gpointer data, gpointer) {
  std::unique_ptr<Job> job(static_cast<Job*>(data));
  WorkerPool::MainTurn turn = job->work();
  if (!turn) {
    return;
  }
  g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer delivered) {
        auto* delivery = static_cast<Delivery*>(delivered);
        if (*delivery->poolAlive) {
          delivery->turn();
        }
        return G_SOURCE_REMOVE;
      },
      new Delivery{std::move(turn), std::move(job->poolAlive)},
      [](gpointer delivered) { delete static_cast<Delivery*>(delivered); });
}

}  // namespace

WorkerPool::WorkerPool()
    : pool_(g_thread_pool_new_full(
          runJob, nullptr, [](gpointer job) { delete static_cast<Job*>(job); },
          static_cast<gint>(g_get_num_processors()), FALSE, nullptr)) {}

WorkerPool::~WorkerPool() {
  *alive_ = false;
  // Drops what has not started and returns at once; the threads of running jobs end with them.
  g_thread_pool_free(pool_, TRUE, FALSE);
}

void WorkerPool::run(Work work) {
  g_thread_pool_push(pool_, new Job{std::move(work), alive_}, nullptr);
}

}  // namespace orvel
