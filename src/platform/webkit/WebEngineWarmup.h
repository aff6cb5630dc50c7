// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <thread>

namespace orvel {

// Readies, on a thread of its own while the player starts, what the web view's first media waits
// for otherwise:
// - GStreamer, which plays the web view's media, keeps a registry of its plugins in the user's
//   cache. When that registry is missing or stale (the first start, an update of the plugins),
//   the web content process rebuilds it before it plays anything: a fifth of a second of a first
//   WebM start. Read, or rebuilt, here, it is ready when the web content process looks for it.
// - The web engine asks EGL which platforms it has as its first web context is made, on the
//   main thread; the first question loads the EGL vendor libraries. Asked here first, they are
//   loaded by then.
// The player makes one only when the registry needs readying: with the registry current, the EGL
// libraries alone did not pay for a thread that takes a core from the start.
class WebEngineWarmup {
 public:
  WebEngineWarmup();
  // Waits for the thread: a registry being rebuilt is never abandoned half written.
  ~WebEngineWarmup();
  WebEngineWarmup(const WebEngineWarmup&) = delete;
  WebEngineWarmup& operator=(const WebEngineWarmup&) = delete;

 private:
  std::thread thread_;
};

}  // namespace orvel
