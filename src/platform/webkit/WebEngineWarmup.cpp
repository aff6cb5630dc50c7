// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/webkit/WebEngineWarmup.h"

#include <epoxy/egl.h>
#include <gst/gst.h>

#include "core/Log.h"

namespace orvel {

WebEngineWarmup::WebEngineWarmup()
    : thread_([] {
        eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        GError* error = nullptr;
        if (!gst_init_check(nullptr, nullptr, &error)) {
          // The web content process meets the same fault and reports it when it plays.
          logLine("Player", std::string("GStreamer could not start: ") +
                                (error ? error->message : "unknown error"));
          g_clear_error(&error);
        }
      }) {}

WebEngineWarmup::~WebEngineWarmup() {
  thread_.join();
}

}  // namespace orvel
