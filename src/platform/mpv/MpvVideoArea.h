// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtkmm/glarea.h>
#include <mpv/render.h>

#include <memory>
#include <optional>

#include "native/MKVVideoSurface.h"
#include "platform/mpv/MpvRenderSupport.h"
#include "platform/mpv/MpvVideoOutput.h"

namespace orvel {

class MpvMediaEngine;

// The native video view: draws the engine's current player through libmpv's render API into
// this GL area, laid out for the surface's zoom. It is the engine's video output for as long as
// it lives. GTK may destroy it late (when the last reference goes), so it keeps neither the
// engine nor the surface, only what it needs of them.
class MpvVideoArea final : public Gtk::GLArea, public MpvVideoOutput {
 public:
  MpvVideoArea(MpvMediaEngine& engine, MKVVideoSurface& surface);
  ~MpvVideoArea() override;
  MpvVideoArea(const MpvVideoArea&) = delete;
  MpvVideoArea& operator=(const MpvVideoArea&) = delete;

  void attach(MpvMediaPlayer& player) override;
  void detach(MpvMediaPlayer& player) override;

  // How many times a player's picture was drawn; for tests and diagnostics.
  int renderedFrames() const { return renderedFrames_; }

 protected:
  void on_realize() override;
  void on_unrealize() override;
  bool on_render(const Glib::RefPtr<Gdk::GLContext>& context) override;
  void on_resize(int width, int height) override;

 private:
  struct RenderContextFree {
    void operator()(mpv_render_context* context) const { mpv_render_context_free(context); }
  };

  void createRenderContext();
  void freeRenderContext();
  void applyZoom();

  MpvRedrawLink redrawLink_{[this] { queue_render(); }};
  MpvMediaPlayer* player_ = nullptr;
  std::unique_ptr<mpv_render_context, RenderContextFree> renderContext_;
  int renderedFrames_ = 0;
  MpvViewBinding binding_;
};

// The video view that suits the renderer GTK draws with: this GL area, or with GTK's Cairo
// renderer (no GPU) the software view.
std::unique_ptr<Gtk::Widget> makeMpvVideoView(MpvMediaEngine& engine, MKVVideoSurface& surface);

}  // namespace orvel
