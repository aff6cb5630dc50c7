// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/PlaybackLevel.h"

#include <algorithm>

namespace orvel {

PlaybackLevel::Plan PlaybackLevel::plan(std::size_t queued, std::size_t incoming,
                                        std::size_t room) {
  Plan plan;
  if (starting_) {
    starting_ = false;
    lowest_.reset();
    seen_ = 0;
    owed_ = 0;
    if (queued + incoming < target_) {
      plan.silence = target_ - queued - incoming;
    } else {
      plan.skip = std::min(incoming, queued + incoming - target_);
    }
  } else {
    plan.skip = std::min(incoming, owed_);
    owed_ -= plan.skip;
  }
  std::size_t level = queued + plan.silence + incoming - plan.skip;
  // Whatever the level, the queue holds no more than its room.
  if (level > room) {
    const std::size_t more = std::min(incoming - plan.skip, level - room);
    plan.skip += more;
    level -= more;
  }
  lowest_ = std::min(lowest_.value_or(level), level);
  seen_ += incoming;
  if (seen_ >= window_) {
    if (*lowest_ > target_ + allowedRise_) {
      owed_ = *lowest_ - target_;
    }
    lowest_.reset();
    seen_ = 0;
  }
  return plan;
}

}  // namespace orvel
