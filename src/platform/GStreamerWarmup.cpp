#include "platform/GStreamerWarmup.h"

#include <gst/gst.h>

#include "core/Log.h"

namespace orvel {

GStreamerWarmup::GStreamerWarmup()
    : thread_([] {
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
          // The web content process meets the same fault and reports it when it plays.
          logLine("Player", std::string("GStreamer could not start: ") +
                                (error ? error->message : "unknown error"));
          g_clear_error(&error);
        }
      }) {}

GStreamerWarmup::~GStreamerWarmup() {
  thread_.join();
}

}  // namespace orvel
