// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvEngineContext.h"

#include <algorithm>
#include <iterator>

namespace orvel {

MpvEngineContext::~MpvEngineContext() {
  for (Retired& retired : retired_) {
    retired.thread.join();
  }
}

void MpvEngineContext::retire(std::thread thread, std::shared_ptr<std::atomic<bool>> done) {
  std::vector<Retired> finished;
  {
    std::lock_guard lock(mutex_);
    auto running = std::partition(retired_.begin(), retired_.end(),
                                  [](const Retired& retired) { return retired.done->load(); });
    std::move(retired_.begin(), running, std::back_inserter(finished));
    retired_.erase(retired_.begin(), running);
    retired_.push_back({std::move(thread), std::move(done)});
  }
  for (Retired& retired : finished) {
    retired.thread.join();
  }
}

}  // namespace orvel
