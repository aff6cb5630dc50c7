// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "core/Cancellable.h"

namespace orvel {

// Callbacks registered under tokens. Notifying calls every observer registered at that moment,
// on the calling thread; an observer may add or drop observers (itself included) while it runs,
// and one dropped during a notification is not called afterwards.
template <typename... Args>
class ObserverList {
 public:
  using Callback = std::function<void(Args...)>;

  ObserverList() : state_(std::make_shared<State>()) {}
  ObserverList(const ObserverList&) = delete;
  ObserverList& operator=(const ObserverList&) = delete;

  [[nodiscard]] ObserverToken add(Callback callback) {
    std::lock_guard lock(state_->mutex);
    const std::uint64_t id = ++state_->lastID;
    state_->entries.push_back({id, std::make_shared<Callback>(std::move(callback))});
    std::weak_ptr<State> weak = state_;
    return ObserverToken([weak, id] {
      auto state = weak.lock();
      if (!state) {
        return;
      }
      // The callback is destroyed once the lock is released: its captures may own tokens of
      // this same list, and cancelling those takes the lock again.
      std::shared_ptr<Callback> removed;
      {
        std::lock_guard stateLock(state->mutex);
        auto found = std::find_if(state->entries.begin(), state->entries.end(),
                                  [id](const Entry& entry) { return entry.id == id; });
        if (found != state->entries.end()) {
          removed = std::move(found->callback);
          state->entries.erase(found);
        }
      }
    });
  }

  void notify(Args... args) const {
    std::vector<Entry> snapshot;
    {
      std::lock_guard lock(state_->mutex);
      snapshot = state_->entries;
    }
    for (const Entry& entry : snapshot) {
      if (isRegistered(entry.id) && *entry.callback) {
        (*entry.callback)(args...);
      }
    }
  }

  bool empty() const {
    std::lock_guard lock(state_->mutex);
    return state_->entries.empty();
  }

 private:
  struct Entry {
    std::uint64_t id;
    std::shared_ptr<Callback> callback;
  };
  struct State {
    std::mutex mutex;
    std::uint64_t lastID = 0;
    std::vector<Entry> entries;
  };

  bool isRegistered(std::uint64_t id) const {
    std::lock_guard lock(state_->mutex);
    for (const Entry& entry : state_->entries) {
      if (entry.id == id) {
        return true;
      }
    }
    return false;
  }

  std::shared_ptr<State> state_;
};

}  // namespace orvel
