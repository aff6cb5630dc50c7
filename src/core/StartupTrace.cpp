// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/StartupTrace.h"

#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "core/Log.h"

namespace orvel {
namespace {

// When the process started, on the boot-time clock: field 22 of /proc/self/stat, in clock ticks.
double processStartSeconds() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  std::getline(stat, line);
  const auto close = line.rfind(')');
  if (close == std::string::npos) {
    return -1;
  }
  // After the command name: state is field 3, start time field 22.
  std::size_t position = close + 2;
  for (int field = 3; field < 22 && position != std::string::npos; ++field) {
    position = line.find(' ', position);
    if (position != std::string::npos) {
      ++position;
    }
  }
  if (position == std::string::npos) {
    return -1;
  }
  return std::strtod(line.c_str() + position, nullptr) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

bool startupTraceEnabled() {
  static const bool enabled = std::getenv("ORVEL_STARTUP_TRACE") != nullptr;
  return enabled;
}

void startupMark(std::string_view milestone) {
  if (!startupTraceEnabled()) {
    return;
  }
  static const double started = processStartSeconds();
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
  logLine("Startup", std::to_string(static_cast<long>((seconds - started) * 1000)) +
                         " ms: " + std::string(milestone));
}

}  // namespace orvel
