// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

class MpvMediaPlayer;

// Where the engine's players draw their picture. Main thread only.
class MpvVideoOutput {
 public:
  virtual ~MpvVideoOutput() = default;

  // The player's picture goes here from now on, in place of the previous player's. Called
  // before the player opens anything: libmpv disables video for good when it starts without a
  // render context.
  virtual void attach(MpvMediaPlayer& player) = 0;
  // The player is going: its render context must be freed while its handle still lives.
  virtual void detach(MpvMediaPlayer& player) = 0;
};

}  // namespace orvel
