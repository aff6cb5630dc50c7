// SPDX-License-Identifier: GPL-3.0-or-later

#include "native/PlaybackLevel.h"

#include <algorithm>

namespace orvel {

PlaybackLevel::Plan PlaybackLevel::plan(std::size_t queued, std::size_t incoming,
                                        std::size_t room) {
  Plan plan;
  if (starting_) {
    starting_ = false;
    draining_ = false;
    lowest_.reset();
    seen_ = 0;
    owed_ = 0;
    if (queued + incoming < target_) {
      plan.silence = target_ - queued - incoming;
    } else if (incoming > target_) {
      // Only a backlog in the fragment itself is left out, in the break it came from. What the
      // queue holds already plays on: the report of running empty may come after the queue was
      // fed again, and leaving out the next fragments would break the sound once more.
      plan.skip = incoming - target_;
    }
  } else {
    plan.skip = std::min(incoming, owed_);
    owed_ -= plan.skip;
  }
  std::size_t level = queued + plan.silence + incoming - plan.skip;
  // Whatever the level, the queue holds no more than its room. A backlog that reaches it is left
  // out down to the target in the same break, rather than cut again once the window has seen it.
  if (level > room) {
    draining_ = true;
    owed_ = 0;
  }
  if (draining_) {
    const std::size_t more = std::min(incoming - plan.skip, level - std::min(level, target_));
    plan.skip += more;
    level -= more;
    draining_ = level > target_;
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
