// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gdkmm/texture.h>
#include <gtkmm/widget.h>
#include <mpv/render.h>

#include <memory>
#include <optional>

#include "native/MKVVideoSurface.h"
#include "platform/mpv/MpvRenderSupport.h"
#include "platform/mpv/MpvVideoOutput.h"

namespace orvel {

class MpvMediaEngine;

// The native video view where GTK draws without a GPU: libmpv converts and scales each picture
// in software straight to the view's size, and the view shows it as a memory texture. Without a
// GPU, OpenGL is itself a software rasteriser, and GTK would then read every frame back from it
// and convert it once more for its Cairo renderer; this costs far less. The engine's video
// output for as long as it lives.
class MpvSoftwareVideoArea final : public Gtk::Widget, public MpvVideoOutput {
 public:
  MpvSoftwareVideoArea(MpvMediaEngine& engine, MKVVideoSurface& surface);
  ~MpvSoftwareVideoArea() override;
  MpvSoftwareVideoArea(const MpvSoftwareVideoArea&) = delete;
  MpvSoftwareVideoArea& operator=(const MpvSoftwareVideoArea&) = delete;

  void attach(MpvMediaPlayer& player) override;
  void detach(MpvMediaPlayer& player) override;

  // How many times a player's picture was drawn; for tests and diagnostics.
  int renderedFrames() const { return renderedFrames_; }

 protected:
  void snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) override;
  void size_allocate_vfunc(int width, int height, int baseline) override;

 private:
  struct RenderContextFree {
    void operator()(mpv_render_context* context) const { mpv_render_context_free(context); }
  };

  // Draws the player's current picture when libmpv has a new one, or always when `force`.
  void render(bool force);
  void freeRenderContext();
  void applyZoom();

  MpvRedrawLink redrawLink_{[this] { render(false); }};
  MpvMediaPlayer* player_ = nullptr;
  std::unique_ptr<mpv_render_context, RenderContextFree> renderContext_;
  Glib::RefPtr<Gdk::Texture> picture_;
  int renderedFrames_ = 0;
  MpvViewBinding binding_;
};

}  // namespace orvel
