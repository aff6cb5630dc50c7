// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// Removes from the sound server the equalizer sinks that an earlier player of this user left
// behind (killed before it could remove them): sinks of the user's sink name and the player's
// description that another process made. Another program's sinks and this player's own are left
// alone. Connects on its own and blocks for at most `timeoutSeconds`: run it off the main loop.
// Returns how many it removed.
int removeLeftoverEqualizerSinks(double timeoutSeconds = 5);

}  // namespace orvel
