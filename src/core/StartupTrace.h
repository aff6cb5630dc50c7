// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

namespace orvel {

// With ORVEL_STARTUP_TRACE set, start-up's milestones are logged with the milliseconds since
// the process started ("[Startup] 412 ms: web view loading"), for finding where a first frame's
// time goes. Without it, a mark costs one test of a flag.
void startupMark(std::string_view milestone);

// Whether ORVEL_STARTUP_TRACE is set, for a mark that needs work of its own to be placed.
bool startupTraceEnabled();

}  // namespace orvel
