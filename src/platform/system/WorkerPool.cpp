// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/WorkerPool.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvel {
namespace {

struct Job {
  const WorkerPool* owner = nullptr;
  WorkerPool::Work work;
  std::shared_ptr<bool> poolAlive;
};

struct Delivery {
  WorkerPool::MainTurn turn;
  std::shared_ptr<bool> poolAlive;
};

// The jobs waiting to start, by number. The thread pool's queue holds only their numbers: GLib
// puts its own markers in that queue to wake its threads, and when a pool is freed at once it
// hands them to the free function of the items, so the items must never need freeing. A number is
// never used twice, so a thread that pops one after its pool went finds nothing. Made once and
// kept for the whole run, as threads of pools already gone may still look in.
struct WaitingJobs {
  std::mutex mutex;
  std::uintptr_t next = 2;
  std::unordered_map<std::uintptr_t, Job> jobs;
};

WaitingJobs& waitingJobs() {
  static auto* waiting = new WaitingJobs;
  return *waiting;
}

void runJob(gpointer data, gpointer) {
  Job job;
  {
    WaitingJobs& waiting = waitingJobs();
    std::lock_guard lock(waiting.mutex);
    const auto found = waiting.jobs.find(reinterpret_cast<std::uintptr_t>(data));
    if (found == waiting.jobs.end()) {
      return;
    }
    job = std::move(found->second);
    waiting.jobs.erase(found);
  }
  WorkerPool::MainTurn turn = job.work();
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
      new Delivery{std::move(turn), std::move(job.poolAlive)},
      [](gpointer delivered) { delete static_cast<Delivery*>(delivered); });
}

}  // namespace

WorkerPool::WorkerPool()
    : pool_(g_thread_pool_new(runJob, nullptr, static_cast<gint>(g_get_num_processors()), FALSE,
                              nullptr)) {}

WorkerPool::~WorkerPool() {
  *alive_ = false;
  // Returns at once; the threads of running jobs end with them.
  g_thread_pool_free(pool_, TRUE, FALSE);
  // What has not started is dropped, outside the lock: a job's captures may be anything.
  std::vector<Work> dropped;
  {
    WaitingJobs& waiting = waitingJobs();
    std::lock_guard lock(waiting.mutex);
    for (auto job = waiting.jobs.begin(); job != waiting.jobs.end();) {
      if (job->second.owner == this) {
        dropped.push_back(std::move(job->second.work));
        job = waiting.jobs.erase(job);
      } else {
        ++job;
      }
    }
  }
}

void WorkerPool::run(Work work) {
  std::uintptr_t number = 0;
  {
    WaitingJobs& waiting = waitingJobs();
    std::lock_guard lock(waiting.mutex);
    number = waiting.next++;
    waiting.jobs.emplace(number, Job{this, std::move(work), alive_});
  }
  g_thread_pool_push(pool_, reinterpret_cast<gpointer>(number), nullptr);
}

}  // namespace orvel
