// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/SerialQueue.h"

#include <chrono>
#include <future>

namespace orvel {

SerialQueue::SerialQueue() : worker_([this] { work(); }) {}

SerialQueue::~SerialQueue() {
  {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->tasks.clear();
  }
  state_->changed.notify_all();
  worker_.join();
}

double SerialQueue::now() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

SerialQueue::Key SerialQueue::enqueue(double due, Task task) {
  Key key;
  {
    std::lock_guard lock(state_->mutex);
    key = {due, ++state_->lastSequence};
    state_->tasks.emplace(key, std::move(task));
  }
  state_->changed.notify_all();
  return key;
}

void SerialQueue::post(Task task) {
  enqueue(now(), std::move(task));
}

TaskHandle SerialQueue::postDelayed(double seconds, Task task) {
  const Key key = enqueue(now() + seconds, std::move(task));
  return TaskHandle([state = std::weak_ptr<State>(state_), key] {
    if (auto owned = state.lock()) {
      std::lock_guard lock(owned->mutex);
      owned->tasks.erase(key);
    }
  });
}

void SerialQueue::runAndWait(Task task) {
  if (isCurrent()) {
    task();
    return;
  }
  std::promise<void> done;
  auto finished = done.get_future();
  post([&] {
    task();
    done.set_value();
  });
  finished.wait();
}

void SerialQueue::work() {
  std::unique_lock lock(state_->mutex);
  while (!state_->stopping) {
    if (state_->tasks.empty()) {
      state_->changed.wait(lock);
      continue;
    }
    const auto next = state_->tasks.begin();
    const double wait = next->first.first - now();
    if (wait > 0) {
      state_->changed.wait_for(lock, std::chrono::duration<double>(wait));
      continue;
    }
    Task task = std::move(next->second);
    state_->tasks.erase(next);
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace orvel
