// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/MainQueue.h"
#include "core/ObserverList.h"
#include "native/AudioServer.h"
#include "platform/pulse/PulsePtr.h"

namespace orvel {

// The PulseAudio thread and the one connection that the adapters share. The thread runs every
// PulseAudio callback, the pass-through's audio processing included; the main thread makes its
// requests holding the loop's lock and waits for their answers, which a callback signals.
// Made and destroyed on the main thread.
class PulseMainLoop {
 public:
  explicit PulseMainLoop(MainQueue& queue);
  ~PulseMainLoop();
  PulseMainLoop(const PulseMainLoop&) = delete;
  PulseMainLoop& operator=(const PulseMainLoop&) = delete;

  // Holds the loop's lock for a scope.
  class Lock {
   public:
    explicit Lock(PulseMainLoop& loop) : loop_(loop.loop_) { pa_threaded_mainloop_lock(loop_); }
    ~Lock() { pa_threaded_mainloop_unlock(loop_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // How long one request waits for the server before it gives up.
  static constexpr pa_usec_t kRequestTimeout = 3 * PA_USEC_PER_SEC;

  // The rest is called holding the lock.

  // Connects unless connected; see `AudioServer::connect`.
  AudioServerStatus connect();
  // The connection, or none when it is not ready.
  pa_context* context() const;
  // Why the connection broke, as a request on it reports it.
  AudioServerError connectionError() const;

  enum class Wait { done, broken, timedOut };
  // Waits, releasing the lock meanwhile, until `done` holds, the connection breaks or the
  // request timeout passes.
  Wait waitFor(const std::function<bool()>& done);
  // Waits for an operation whose callback sets `done`, and ends it.
  AudioServerStatus finish(pa_operation* operation, const bool& done);
  // Wakes `waitFor`; called from callbacks.
  void signal() { pa_threaded_mainloop_signal(loop_, 0); }

  pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop_); }
  MainQueue& queue() const { return queue_; }

  // Main thread only.
  [[nodiscard]] ObserverToken observe(AudioServer::Events events);

 private:
  static void contextStateChanged(pa_context* context, void* userdata);
  static void serverEvent(pa_context* context, pa_subscription_event_type_t type,
                          std::uint32_t index, void* userdata);
  void dropContext();
  // Posts to the main queue a notification about the connection of this generation.
  void post(bool connectionLost);

  MainQueue& queue_;
  pa_threaded_mainloop* loop_ = nullptr;
  PulseContextPtr context_;
  bool wasReady_ = false;
  // Counts connections, so that news of a broken one does not reach a route on its successor.
  std::uint64_t generation_ = 0;
  std::atomic<bool> changePosted_{false};
  // true: sink inputs changed; false: connection lost.
  ObserverList<bool> observers_;
  // Posted notifications hold this weakly: they find the loop gone, or still there.
  std::shared_ptr<PulseMainLoop*> self_;
};

}  // namespace orvel
