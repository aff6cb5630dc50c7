#pragma once

#include <mpv/render.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace orvel {

class MpvMediaPlayer;

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

// The zoom a view last gave its player: libmpv's "video-zoom" (a power of two) that draws the
// surface's layout, set only when it changes.
class MpvZoom {
 public:
  void reset() { applied_.reset(); }
  void apply(MpvMediaPlayer* player, double width, double height, double zoom);

 private:
  std::optional<double> applied_;
};

}  // namespace orvel
