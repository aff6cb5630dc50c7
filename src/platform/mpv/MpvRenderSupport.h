// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <mpv/render.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "core/Cancellable.h"

namespace orvel {

class MKVVideoSurface;
class MpvEngineContext;
class MpvMediaEngine;
class MpvMediaPlayer;
class MpvVideoOutput;

// Lets libmpv's threads ask a video view for a redraw: the request travels to the main loop
// holding a share of this link, not the view, and finds the view gone if it went meanwhile.
class MpvRedrawLink {
 public:
  // `redraw` runs on the main loop, at most once for any number of requests made before it.
  explicit MpvRedrawLink(std::function<void()> redraw);
  // Requests still travelling find nothing to call.
  ~MpvRedrawLink();
  MpvRedrawLink(const MpvRedrawLink&) = delete;
  MpvRedrawLink& operator=(const MpvRedrawLink&) = delete;

  // The context's updates come here from now on; `remove` must come before either goes.
  void install(mpv_render_context* context);
  static void remove(mpv_render_context* context);

 private:
  struct Shared {
    std::function<void()> redraw;       // main thread only
    std::atomic<bool> pending = false;  // one queued redraw at a time
  };
  static void requestRedraw(void* shared);
  static int redrawOnMainLoop(void* shared);

  std::shared_ptr<Shared> shared_;
};

// What a video view keeps of the engine and the surface while it lives: its place as the
// engine's video output, given up when it goes, and the surface's zoom, handed to the current
// player as libmpv's "video-zoom" (a power of two) only when it changes.
class MpvViewBinding {
 public:
  // `layoutChanged` runs when the surface asks for a new layout.
  MpvViewBinding(MpvMediaEngine& engine, MKVVideoSurface& surface, MpvVideoOutput& output,
                 std::function<void()> layoutChanged);
  ~MpvViewBinding();
  MpvViewBinding(const MpvViewBinding&) = delete;
  MpvViewBinding& operator=(const MpvViewBinding&) = delete;

  // A new player has not been given any zoom yet.
  void resetZoom() { applied_.reset(); }
  void applyZoom(MpvMediaPlayer* player, double width, double height);

 private:
  std::weak_ptr<MpvEngineContext> engineContext_;
  MpvVideoOutput& output_;
  double zoom_;
  std::optional<double> applied_;
  ObserverToken layoutRequests_;
};

}  // namespace orvel
