// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>

namespace orvel {

// The filters that the web audio route runs its sound through; the equalizer's DSP implements
// it.
class AudioProcessor {
 public:
  virtual ~AudioProcessor() = default;

  // Called on the main thread before a route hands it any sound, with the rate the route runs
  // at. May allocate.
  virtual void prepare(double sampleRate) = 0;

  // Filters `frames` interleaved left/right 32-bit float frames in place. Called on the sound
  // server's thread, never concurrently with itself, from when a route opens until its `stop`
  // returns; it runs against a real-time deadline, so it must not allocate, block on I/O or wait
  // on a lock that the main thread holds for long.
  virtual void process(float* interleavedStereo, std::size_t frames) = 0;
};

}  // namespace orvel
