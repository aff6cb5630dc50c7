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

}  // namespace

void logLine(std::string_view component, std::string_view message) {
  std::string line;
  line.reserve(component.size() + message.size() + 3);
  line += '[';
  line += component;
  line += "] ";
  line += message;
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
