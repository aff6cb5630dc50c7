// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/pulse/PulseLeftoverSinks.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/Log.h"
#include "native/WebProcessEqualizer.h"
#include "platform/pulse/PulseAudioServer.h"

namespace orvel {
namespace {

using Clock = std::chrono::steady_clock;

struct Listing {
  std::vector<SinkInfo> sinks;
  bool done = false;
};

struct Unloading {
  bool done = false;
  bool succeeded = false;
};

}  // namespace

int removeLeftoverEqualizerSinks(double timeoutSeconds) {
  std::unique_ptr<pa_mainloop, decltype(&pa_mainloop_free)> loop(pa_mainloop_new(),
                                                                 &pa_mainloop_free);
  if (!loop) {
    return 0;
  }
  // Declared after the loop, so that it goes first.
  std::unique_ptr<pa_context, decltype(&pa_context_unref)> context(
      pa_context_new(pa_mainloop_get_api(loop.get()), "Orvel player"), &pa_context_unref);
  if (!context || pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    return 0;
  }
  const auto deadline = Clock::now() + std::chrono::duration<double>(timeoutSeconds);
  // Runs the loop until `done`, a tenth of a second at most between looks at the clock.
  const auto runUntil = [&](const std::function<bool()>& done) {
    while (!done()) {
      if (Clock::now() >= deadline || pa_mainloop_prepare(loop.get(), 100000) < 0 ||
          pa_mainloop_poll(loop.get()) < 0 || pa_mainloop_dispatch(loop.get()) < 0) {
        return false;
      }
    }
    return true;
  };
  const auto connected = [&] {
    const pa_context_state_t state = pa_context_get_state(context.get());
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  };
  if (!runUntil(connected) || pa_context_get_state(context.get()) != PA_CONTEXT_READY) {
    return 0;
  }

  Listing listing;
  pa_operation* listed = pa_context_get_sink_info_list(
      context.get(),
      [](pa_context*, const pa_sink_info* info, int last, void* userdata) {
        auto* found = static_cast<Listing*>(userdata);
        if (last != 0) {
          found->done = true;
        } else if (info) {
          found->sinks.push_back(sinkInfoOf(*info));
        }
      },
      &listing);
  if (listed) {
    pa_operation_unref(listed);
  }
  int removed = 0;
  if (listed && runUntil([&] { return listing.done; })) {
    const std::string name = WebProcessEqualizer::userSinkName();
    for (const SinkInfo& sink : listing.sinks) {
      if (!WebProcessEqualizer::isLeftover(sink, name, getpid())) {
        continue;
      }
      Unloading unloading;
      pa_operation* unload = pa_context_unload_module(
          context.get(), sink.ownerModule,
          [](pa_context*, int success, void* userdata) {
            auto* answer = static_cast<Unloading*>(userdata);
            answer->succeeded = success != 0;
            answer->done = true;
          },
          &unloading);
      if (unload) {
        pa_operation_unref(unload);
      }
      if (!unload || !runUntil([&] { return unloading.done; })) {
        break;
      }
      if (unloading.succeeded) {
        ++removed;
        logLine("Equalizer", "Removed a sink an earlier player left: module " +
                                 std::to_string(sink.ownerModule));
      }
    }
  }
  pa_context_disconnect(context.get());
  return removed;
}

}  // namespace orvel
