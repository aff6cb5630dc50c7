// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/ManualMainQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace orvel {
namespace {

// A task that keeps posting itself for "now" would otherwise hang the test instead of failing it.
constexpr int kMaxTasksPerRun = 100000;

double sanitizedDelay(double seconds) {
  // Negative and NaN delays mean "as soon as possible", as GLib treats them.
  return seconds > 0 ? seconds : 0;
}

}  // namespace

ManualMainQueue::ManualMainQueue() : state_(std::make_shared<State>()) {}

ManualMainQueue::~ManualMainQueue() {
  // Destroyed outside the lock: a task's captures may own handles that cancel into this state.
  std::map<Key, Task> dropped;
  {
    std::lock_guard lock(state_->mutex);
    dropped.swap(state_->tasks);
  }
}

ManualMainQueue::Key ManualMainQueue::enqueue(double due, Task task) {
  std::lock_guard lock(state_->mutex);
  Key key{due, ++state_->lastSequence};
  state_->tasks.emplace(key, std::move(task));
  return key;
}

void ManualMainQueue::post(Task task) {
  enqueue(now(), std::move(task));
}

TaskHandle ManualMainQueue::postDelayed(double seconds, Task task) {
  Key key = enqueue(now() + sanitizedDelay(seconds), std::move(task));
  std::weak_ptr<State> weak = state_;
  return TaskHandle([weak, key] {
    auto state = weak.lock();
    if (!state) {
      return;
    }
    std::map<Key, Task>::node_type removed;
    {
      std::lock_guard lock(state->mutex);
      removed = state->tasks.extract(key);
    }
  });
}

double ManualMainQueue::now() const {
  std::lock_guard lock(state_->mutex);
  return state_->now;
}

bool ManualMainQueue::runNext(double limit) {
  std::map<Key, Task>::node_type next;
  {
    std::lock_guard lock(state_->mutex);
    auto first = state_->tasks.begin();
    if (first == state_->tasks.end() || first->first.first > limit) {
      return false;
    }
    state_->now = std::max(state_->now, first->first.first);
    next = state_->tasks.extract(first);
  }
  if (next.mapped()) {
    next.mapped()();
  }
  return true;
}

void ManualMainQueue::advance(double seconds) {
  const double target = now() + sanitizedDelay(seconds);
  int ran = 0;
  while (runNext(target)) {
    if (++ran == kMaxTasksPerRun) {
      ADD_FAILURE() << "ManualMainQueue::advance: tasks keep posting more tasks";
      break;
    }
  }
  std::lock_guard lock(state_->mutex);
  state_->now = std::max(state_->now, target);
}

void ManualMainQueue::runUntilIdle() {
  advance(0);
}

std::size_t ManualMainQueue::pendingCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->tasks.size();
}

}  // namespace orvel
