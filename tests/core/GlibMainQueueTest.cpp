// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/GlibMainQueue.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace orvel {
namespace {

// Runs the default context's loop until a task quits it, or until the time limit passes so a
// broken queue fails the test instead of hanging it. True when a task quit the loop.
bool runLoop(GMainLoop* loop, guint limitMilliseconds) {
  bool timedOut = false;
  struct Guard {
    GMainLoop* loop;
    bool* timedOut;
  } guard{loop, &timedOut};
  const guint timeout = g_timeout_add(
      limitMilliseconds,
      [](gpointer data) -> gboolean {
        auto* limit = static_cast<Guard*>(data);
        *limit->timedOut = true;
        g_main_loop_quit(limit->loop);
        return G_SOURCE_REMOVE;
      },
      &guard);
  g_main_loop_run(loop);
  if (!timedOut) {
    g_source_remove(timeout);
  }
  return !timedOut;
}

class GlibMainQueueTest : public ::testing::Test {
 protected:
  GlibMainQueueTest() : loop_(g_main_loop_new(nullptr, FALSE)) {}
  ~GlibMainQueueTest() override { g_main_loop_unref(loop_); }

  GlibMainQueue queue_;
  GMainLoop* loop_;
};

TEST_F(GlibMainQueueTest, TaskPostedFromAnotherThreadRunsOnTheLoopThread) {
  const std::thread::id loopThread = std::this_thread::get_id();
  std::atomic<bool> ranOnLoop = false;
  std::thread poster([&] {
    queue_.post([&] {
      ranOnLoop = std::this_thread::get_id() == loopThread;
      g_main_loop_quit(loop_);
    });
  });
  EXPECT_TRUE(runLoop(loop_, 2000));
  poster.join();
  EXPECT_TRUE(ranOnLoop);
}

TEST_F(GlibMainQueueTest, CancelledDelayedTaskDoesNotRun) {
  int ran = 0;
  TaskHandle cancelled = queue_.postDelayed(0.005, [&] { ran += 1; });
  (void)queue_.postDelayed(0.005, [&] { ran += 10; });
  TaskHandle kept = queue_.postDelayed(0.005, [&] { ran += 100; });
  TaskHandle quit = queue_.postDelayed(0.03, [&] { g_main_loop_quit(loop_); });
  cancelled.cancel();

  const double start = queue_.now();
  EXPECT_TRUE(runLoop(loop_, 2000));
  EXPECT_GE(queue_.now() - start, 0.025);
  EXPECT_EQ(ran, 100);
  // Cancelling after the task ran is harmless.
  kept.cancel();
}

TEST_F(GlibMainQueueTest, TaskMayDropItsOwnHandle) {
  TaskHandle self;
  bool ran = false;
  self = queue_.postDelayed(0, [&] {
    ran = true;
    self = TaskHandle();
    g_main_loop_quit(loop_);
  });
  EXPECT_TRUE(runLoop(loop_, 2000));
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace orvel
