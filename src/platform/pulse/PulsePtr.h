// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <pulse/pulseaudio.h>

#include <memory>

namespace orvel {

// Owners of PulseAudio objects. Contexts and streams must be released holding the threaded
// loop's lock; their callbacks are cleared first so that none runs on a half-released object.
struct PulseContextRelease {
  void operator()(pa_context* context) const {
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);
  }
};
using PulseContextPtr = std::unique_ptr<pa_context, PulseContextRelease>;

struct PulseStreamRelease {
  void operator()(pa_stream* stream) const {
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
      pa_stream_disconnect(stream);
    }
    pa_stream_unref(stream);
  }
};
using PulseStreamPtr = std::unique_ptr<pa_stream, PulseStreamRelease>;

struct PulseProplistRelease {
  void operator()(pa_proplist* proplist) const { pa_proplist_free(proplist); }
};
using PulseProplistPtr = std::unique_ptr<pa_proplist, PulseProplistRelease>;

}  // namespace orvel
