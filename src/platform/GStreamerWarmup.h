#pragma once

#include <thread>

namespace orvel {

// The web view plays its media through GStreamer, which keeps a registry of its plugins in the
// user's cache. When that registry is missing or stale (the first start, an update of the
// plugins), the web content process rebuilds it before it plays anything, a fifth of a second of
// a first WebM start. Reading it, and rebuilding it where needed, on a thread of the player as it
// starts has it ready by the time the web content process looks for it.
class GStreamerWarmup {
 public:
  GStreamerWarmup();
  // Waits for the thread: a registry being rebuilt is never abandoned half written.
  ~GStreamerWarmup();
  GStreamerWarmup(const GStreamerWarmup&) = delete;
  GStreamerWarmup& operator=(const GStreamerWarmup&) = delete;

 private:
  std::thread thread_;
};

}  // namespace orvel
