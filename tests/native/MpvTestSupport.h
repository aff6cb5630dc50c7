// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <glib.h>

#include <functional>
#include <string>
#include <vector>

#include "core/Url.h"
#include "media/StreamingMedia.h"

namespace orvel {

// Makes a media file with ffmpeg from the given input and output arguments; false when ffmpeg
// is missing or fails.
// A local MKV file as the registry would resolve it.
inline StreamingMedia mkvFile(const std::string& path) {
  const auto url = Url::fileURL(path);
  return StreamingMedia{.providerID = "mkv",
                        .providerName = "MKV",
                        .mediaID = "mkv:" + url->absoluteString(),
                        .playbackURL = *url,
                        .defaultTitle = "clip"};
}

inline bool makeClip(const std::string& path, const std::vector<std::string>& arguments) {
  const std::string ffmpeg = ORVEL_FFMPEG;
  if (ffmpeg.empty()) {
    return false;
  }
  std::vector<std::string> command{ffmpeg, "-v", "error", "-y", "-nostdin"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  command.push_back(path);
  std::vector<char*> argv;
  for (std::string& argument : command) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  gint status = 0;
  GError* error = nullptr;
  const bool ran = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr,
                                nullptr, nullptr, &status, &error);
  if (error) {
    g_error_free(error);
  }
  return ran && g_spawn_check_wait_status(status, nullptr);
}

// Runs the default main context until the condition holds or the seconds pass; the result is
// the condition's.
inline bool runLoopUntil(const std::function<bool()>& condition, double seconds) {
  const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * 1e6);
  // Wakes the loop now and then, so the deadline is seen even when nothing else happens.
  const guint ticker = g_timeout_add(
      20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (!condition() && g_get_monotonic_time() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
  }
  g_source_remove(ticker);
  return condition();
}

}  // namespace orvel
