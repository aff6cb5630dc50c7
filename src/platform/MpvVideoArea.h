#pragma once

#include <glib-object.h>
#include <gtkmm/glarea.h>
#include <mpv/render.h>

#include <memory>
#include <optional>

#include "core/Cancellable.h"
#include "native/MKVVideoSurface.h"
#include "platform/MpvVideoOutput.h"

namespace orvel {

class MpvMediaEngine;

// The native video view: draws the engine's current player through libmpv's render API into
// this GL area, laid out for the surface's zoom. It registers itself as the engine's video
// output for as long as it lives, so the engine must outlive it.
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
  // Lets libmpv's threads ask for a redraw without keeping the widget alive.
  struct RedrawLink {
    explicit RedrawLink(GObject* area) { g_weak_ref_init(&weakArea, area); }
    ~RedrawLink() { g_weak_ref_clear(&weakArea); }
    RedrawLink(const RedrawLink&) = delete;
    RedrawLink& operator=(const RedrawLink&) = delete;
    GWeakRef weakArea;
  };
  struct RenderContextFree {
    void operator()(mpv_render_context* context) const { mpv_render_context_free(context); }
  };

  static void requestRedraw(void* link);
  void createRenderContext();
  void freeRenderContext();
  void applyZoom();

  MpvMediaEngine& engine_;
  MKVVideoSurface& surface_;
  ObserverToken layoutRequests_;
  RedrawLink redrawLink_;
  MpvMediaPlayer* player_ = nullptr;
  std::unique_ptr<mpv_render_context, RenderContextFree> renderContext_;
  std::optional<double> appliedZoom_;
  int renderedFrames_ = 0;
};

}  // namespace orvel
