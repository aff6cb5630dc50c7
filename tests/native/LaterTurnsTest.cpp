// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/gtk/WidgetHelpers.h"
#include "platform/system/WorkerPool.h"

namespace orvel {
namespace {

void runPendingTurns() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

// A window closed while its later work is queued must not be reached by that work.
TEST(LaterTurns, WorkRunsOnALaterTurnAndIsDroppedOnceItsOwnerHasGone) {
  int ran = 0;
  std::optional<LaterTurns> owner{std::in_place};
  owner->post([&] { ++ran; });
  EXPECT_EQ(ran, 0);
  runPendingTurns();
  EXPECT_EQ(ran, 1);

  owner->post([&] { ++ran; });
  owner.reset();
  runPendingTurns();
  EXPECT_EQ(ran, 1);
}

// What a job returns runs on the main loop; a pool that goes does not wait for a job stuck in a
// probe (quitting would hang), and what that job returns later is dropped.
TEST(LaterTurns, AWorkerPoolDeliversOnTheMainLoopAndNeverWaitsForAStuckJobAtTheEnd) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::optional<WorkerPool> pool{std::in_place};
  const std::thread::id mainThread = std::this_thread::get_id();
  std::optional<bool> deliveredOnMainThread;
  pool->run([&] {
    return WorkerPool::MainTurn(
        [&] { deliveredOnMainThread = std::this_thread::get_id() == mainThread; });
  });
  while (!deliveredOnMainThread && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, FALSE);
  }
  EXPECT_EQ(deliveredOnMainThread, true);

  // The stuck job's state outlives the test's frame: the job ends after the test looked.
  struct Stuck {
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::atomic<bool> started = false;
    std::atomic<bool> returned = false;
  };
  auto stuck = std::make_shared<Stuck>();
  auto delivered = std::make_shared<bool>(false);
  pool->run([stuck, delivered] {
    stuck->started = true;
    {
      std::unique_lock lock(stuck->mutex);
      stuck->released.wait_for(lock, std::chrono::seconds(60), [&] { return stuck->release; });
    }
    stuck->returned = true;
    return WorkerPool::MainTurn([delivered] { *delivered = true; });
  });
  while (!stuck->started && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  pool.reset();
  EXPECT_FALSE(stuck->returned);
  {
    std::lock_guard lock(stuck->mutex);
    stuck->release = true;
  }
  stuck->released.notify_all();
  while (!stuck->returned && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  ASSERT_TRUE(stuck->returned);
  runPendingTurns();
  EXPECT_FALSE(*delivered);
}

}  // namespace
// Pools that go while their threads wait for work, or with work not yet started: GLib wakes the
// waiting threads with markers of its own in the queue, which must never be taken for work; the
// work that never started is let go with what it holds.
TEST(LaterTurns, AWorkerPoolGoesCleanlyWithIdleThreadsAndWorkNotStarted) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (int round = 0; round < 100; ++round) {
    WorkerPool pool;
    int delivered = 0;
    for (int job = 0; job < 4; ++job) {
      pool.run([&] { return WorkerPool::MainTurn([&] { ++delivered; }); });
    }
    while (delivered < 4 && std::chrono::steady_clock::now() < deadline) {
      g_main_context_iteration(nullptr, FALSE);
    }
    ASSERT_EQ(delivered, 4);
  }

  auto gate = std::make_shared<std::atomic<bool>>(false);
  auto held = std::make_shared<int>(0);
  {
    WorkerPool pool;
    // More blocked jobs than threads, so that some never start.
    for (unsigned job = 0; job < g_get_num_processors() + 3; ++job) {
      pool.run([gate, held] {
        while (!*gate) {
          std::this_thread::yield();
        }
        return WorkerPool::MainTurn();
      });
    }
  }
  *gate = true;
  // The jobs that started end by themselves; those that never did are already let go.
  while (held.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_EQ(held.use_count(), 1);
}

}  // namespace orvel
