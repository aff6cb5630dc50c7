// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/Log.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace orvel {
namespace {

std::mutex& sinkMutex() {
  static std::mutex mutex;
  return mutex;
}

LogSink& currentSink() {
  static LogSink sink;
  return sink;
}

// Appends text with its control characters written as "\xNN": much of what is logged came from
// outside (a feed, a page, a file name), and a raw escape or line break could drive the terminal
// or forge a line of the log.
void appendPrintable(std::string& line, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  auto escape = [&](unsigned char byte) {
    line += "\\x";
    line += kHex[byte >> 4];
    line += kHex[byte & 0x0F];
  };
  for (std::size_t index = 0; index < text.size(); ++index) {
    const auto byte = static_cast<unsigned char>(text[index]);
    if (byte < 0x20 || byte == 0x7F) {
      escape(byte);
    } else if (byte == 0xC2 && index + 1 < text.size() &&
               static_cast<unsigned char>(text[index + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[index + 1]) <= 0x9F) {
      // U+0080 to U+009F, the C1 controls, which some terminals obey too.
      escape(static_cast<unsigned char>(text[++index]));
    } else {
      line += text[index];
    }
  }
}

}  // namespace

void logLine(std::string_view component, std::string_view message) {
  std::string line;
  line.reserve(component.size() + message.size() + 3);
  line += '[';
  appendPrintable(line, component);
  line += "] ";
  appendPrintable(line, message);
  LogSink sink;
  {
    std::lock_guard lock(sinkMutex());
    sink = currentSink();
  }
  // Called outside the lock, so that a sink may log in turn.
  if (sink) {
    sink(line);
    return;
  }
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

LogSink setLogSink(LogSink sink) {
  std::lock_guard lock(sinkMutex());
  return std::exchange(currentSink(), std::move(sink));
}

}  // namespace orvel
