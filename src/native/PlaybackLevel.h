// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>

namespace orvel {

// Keeps a playback queue fed from a capture at a steady level, so that a busy machine does not
// break the sound and the delay between the two stays bounded. All counts are in frames.
//
// The queue starts at `target` (measured just after a fragment is queued): silence fills it up,
// and when it starts again after running empty, the oldest of a backlog the capture hands over at
// once is left out instead, in the break that is already there. After that, jitter (a late wake-up,
// two fragments at once) only moves the level for a moment, so nothing is cut for it; drift between
// the two clocks or a stall that left a backlog raises the level's lowest point. Only when that
// lowest point over a whole window stays more than `allowedRise` above the target is the excess
// cut, in one step. A backlog that fills the queue's room is left out down to the target at once,
// in that one break.
class PlaybackLevel {
 public:
  struct Plan {
    std::size_t silence = 0;  // to queue ahead of the fragment
    std::size_t skip = 0;     // to leave out at the fragment's front

    friend bool operator==(const Plan&, const Plan&) = default;
  };

  PlaybackLevel(std::size_t window, std::size_t target, std::size_t allowedRise)
      : window_(window), target_(target), allowedRise_(allowedRise) {}

  // What to do with a fragment of `incoming` frames, with `queued` frames waiting for the output
  // and room for `room` in all.
  Plan plan(std::size_t queued, std::size_t incoming, std::size_t room);

  // The output found the queue empty.
  void ranEmpty() { starting_ = true; }

 private:
  std::size_t window_;
  std::size_t target_;
  std::size_t allowedRise_;
  bool starting_ = true;
  bool draining_ = false;  // leaving out what comes until the level is down to the target
  std::optional<std::size_t> lowest_;
  std::size_t seen_ = 0;
  std::size_t owed_ = 0;
};

}  // namespace orvel
