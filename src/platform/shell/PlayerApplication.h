// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// Runs the player: one instance per user; a later launch hands its argument to the running
// player and exits. Returns the exit status.
int runPlayerApplication(int argc, char** argv);

}  // namespace orvel
