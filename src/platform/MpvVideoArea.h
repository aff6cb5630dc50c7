#pragma once

#include <gtkmm/glarea.h>
#include <mpv/render.h>

#include <atomic>
#include <memory>
#include <optional>

#include "core/Cancellable.h"
#include "native/MKVVideoSurface.h"
#include "platform/MpvVideoOutput.h"

namespace orvel {

class MpvEngineContext;
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
  // Lets libmpv's threads ask for a redraw: the request travels to the main loop holding this,
  // not the widget, and finds `area` cleared if the widget went meanwhile.
  struct RedrawLink {
    explicit RedrawLink(MpvVideoArea* owner) : area(owner) {}
    MpvVideoArea* area;                 // main thread only
    std::atomic<bool> pending = false;  // one queued redraw at a time
  };
  struct RenderContextFree {
    void operator()(mpv_render_context* context) const { mpv_render_context_free(context); }
  };

  static void requestRedraw(void* link);
  static int redrawOnMainLoop(void* link);
  void createRenderContext();
  void freeRenderContext();
  void applyZoom();

  std::weak_ptr<MpvEngineContext> engineContext_;
  double zoom_;
  ObserverToken layoutRequests_;
  std::shared_ptr<RedrawLink> redrawLink_;
  MpvMediaPlayer* player_ = nullptr;
  std::unique_ptr<mpv_render_context, RenderContextFree> renderContext_;
  std::optional<double> appliedZoom_;
  int renderedFrames_ = 0;
};

}  // namespace orvel
