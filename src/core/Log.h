// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace orvel {

// A console line carries its component in brackets: "[AppSettings] Failed to decode ...".
// Control characters are written as "\xNN", so a line is always one printable line.
void logLine(std::string_view component, std::string_view message);

// Where log lines go; an empty sink means standard output. Returns the sink it replaces, so a
// test can capture lines and put the old sink back.
using LogSink = std::function<void(const std::string& line)>;
LogSink setLogSink(LogSink sink);

}  // namespace orvel
