// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace orvel {

// With ORVEL_STALL_TRACE set, every turn of the main loop that holds it for longer than 50 ms
// is logged with its length ("[Stall] main loop held 212 ms"), for finding where the window stops
// answering. Without it, nothing runs.
void startStallTrace();

}  // namespace orvel
