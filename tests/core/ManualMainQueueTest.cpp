// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/ManualMainQueue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orvel {
namespace {

TEST(ManualMainQueueTest, RunsDueTasksInTimeOrderAndTiesInPostingOrder) {
  ManualMainQueue queue;
  std::vector<std::string> ran;
  auto late = queue.postDelayed(2, [&] { ran.push_back("late"); });
  auto tieA = queue.postDelayed(1, [&] { ran.push_back("tieA"); });
  queue.post([&] { ran.push_back("now"); });
  auto tieB = queue.postDelayed(1, [&] { ran.push_back("tieB"); });

  queue.advance(0.5);
  EXPECT_EQ(ran, (std::vector<std::string>{"now"}));
  queue.advance(0.5);
  EXPECT_EQ(ran, (std::vector<std::string>{"now", "tieA", "tieB"}));
  EXPECT_EQ(queue.pendingCount(), 1u);
  queue.advance(10);
  EXPECT_EQ(ran.back(), "late");
  EXPECT_DOUBLE_EQ(queue.now(), 11.0);
}

TEST(ManualMainQueueTest, TasksPostedWhileAdvancingRunAtTheirOwnDueTime) {
  ManualMainQueue queue;
  std::vector<double> times;
  TaskHandle chained;
  TaskHandle first = queue.postDelayed(1, [&] {
    times.push_back(queue.now());
    chained = queue.postDelayed(1.5, [&] { times.push_back(queue.now()); });
    queue.post([&] { times.push_back(queue.now()); });
  });
  // Posted before the chain but due after it: the chain must not be run late.
  TaskHandle last = queue.postDelayed(3, [&] { times.push_back(queue.now()); });

  queue.advance(5);
  EXPECT_EQ(times, (std::vector<double>{1.0, 1.0, 2.5, 3.0}));
  EXPECT_DOUBLE_EQ(queue.now(), 5.0);
}

TEST(ManualMainQueueTest, RunUntilIdleRunsOnlyWhatIsDueNow) {
  ManualMainQueue queue;
  int ran = 0;
  auto later = queue.postDelayed(0.1, [&] { ++ran; });
  queue.post([&] { queue.post([&] { ++ran; }); });
  queue.runUntilIdle();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(queue.pendingCount(), 1u);
  EXPECT_DOUBLE_EQ(queue.now(), 0.0);
}

TEST(ManualMainQueueTest, CancelledOrDroppedHandlesNeverRun) {
  ManualMainQueue queue;
  int ran = 0;
  TaskHandle cancelled = queue.postDelayed(1, [&] { ++ran; });
  cancelled.cancel();
  (void)queue.postDelayed(1, [&] { ++ran; });
  TaskHandle replaced = queue.postDelayed(1, [&] { ++ran; });
  replaced = queue.postDelayed(1, [&] { ran += 10; });
  EXPECT_EQ(queue.pendingCount(), 1u);

  // A task may cancel one due at the same moment, and drop its own handle while running.
  TaskHandle victim;
  TaskHandle killer = queue.postDelayed(2, [&] {
    victim.cancel();
    killer = TaskHandle();
  });
  victim = queue.postDelayed(2, [&] { ran += 100; });

  queue.advance(3);
  EXPECT_EQ(ran, 10);
  EXPECT_EQ(queue.pendingCount(), 0u);
  replaced.cancel();  // after running: nothing to do
}

TEST(ManualMainQueueTest, HandlesOutliveTheQueue) {
  TaskHandle handle;
  auto flag = std::make_shared<int>(0);
  {
    ManualMainQueue queue;
    handle = queue.postDelayed(1, [flag] { ++*flag; });
    // A pending task that owns a handle into the dying queue is dropped safely too.
    auto inner = std::make_shared<TaskHandle>(queue.postDelayed(5, [] {}));
    queue.post([inner] {});
  }
  handle.cancel();
  EXPECT_EQ(*flag, 0);
  EXPECT_EQ(flag.use_count(), 1);
}

}  // namespace
}  // namespace orvel
