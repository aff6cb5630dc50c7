// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/StallTrace.h"

#include <glib.h>

#include <fstream>
#include <string>

#include "core/Log.h"

namespace orvel {

namespace {

constexpr guint kTickMilliseconds = 5;
constexpr gint64 kReportedMicroseconds = 50'000;

gint64 lastTick = 0;

gboolean tick(gpointer) {
  const gint64 now = g_get_monotonic_time();
  if (lastTick != 0 && now - lastTick > kReportedMicroseconds) {
    const std::string line = "main loop held " + std::to_string((now - lastTick) / 1000) + " ms";
    logLine("Stall", line);
    // A path as the variable's value gets the lines too, where a run's own log is not kept.
    if (const char* path = g_getenv("ORVEL_STALL_TRACE"); path && path[0] == '/') {
      std::ofstream(path, std::ios::app) << line << '\n';
    }
  }
  lastTick = now;
  return G_SOURCE_CONTINUE;
}

}  // namespace

void startStallTrace() {
  if (!g_getenv("ORVEL_STALL_TRACE") || lastTick != 0) {
    return;
  }
  lastTick = g_get_monotonic_time();
  g_timeout_add_full(G_PRIORITY_HIGH, kTickMilliseconds, tick, nullptr, nullptr);
}

}  // namespace orvel
