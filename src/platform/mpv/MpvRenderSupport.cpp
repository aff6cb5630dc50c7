// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvRenderSupport.h"

#include <glib.h>

#include <cmath>
#include <utility>

#include "native/MKVVideoSurface.h"
#include "platform/mpv/MpvEngineContext.h"
#include "platform/mpv/MpvMediaEngine.h"
#include "platform/mpv/MpvMediaPlayer.h"

namespace orvel {

MpvRedrawLink::MpvRedrawLink(std::function<void()> redraw) : shared_(std::make_shared<Shared>()) {
  shared_->redraw = std::move(redraw);
}

MpvRedrawLink::~MpvRedrawLink() {
  shared_->redraw = nullptr;
}

void MpvRedrawLink::install(mpv_render_context* context) {
  mpv_render_context_set_update_callback(context, requestRedraw, &shared_);
}

void MpvRedrawLink::remove(mpv_render_context* context) {
  mpv_render_context_set_update_callback(context, nullptr, nullptr);
}

void MpvRedrawLink::requestRedraw(void* shared) {
  // Runs on a libmpv thread, so it touches no widget; the idle source owns a share of the link.
  // The callback is removed before the link goes, so `shared` is valid here.
  const auto& link = *static_cast<std::shared_ptr<Shared>*>(shared);
  if (link->pending.exchange(true)) {
    return;
  }
  g_idle_add_full(G_PRIORITY_DEFAULT, redrawOnMainLoop, new std::shared_ptr<Shared>(link),
                  [](gpointer copy) { delete static_cast<std::shared_ptr<Shared>*>(copy); });
}

int MpvRedrawLink::redrawOnMainLoop(void* shared) {
  Shared& link = **static_cast<std::shared_ptr<Shared>*>(shared);
  link.pending = false;
  if (link.redraw) {
    link.redraw();
  }
  return G_SOURCE_REMOVE;
}

// The surface's layout grows the video view's frame evenly about the centre and keeps the
// picture's aspect inside it, which is the picture fitted to the view and scaled about its
// centre: libmpv's "video-zoom" draws exactly that, clipped to the view, with black around it.
MpvViewBinding::MpvViewBinding(MpvMediaEngine& engine, MKVVideoSurface& surface,
                               MpvVideoOutput& output, std::function<void()> layoutChanged)
    : engineContext_(engine.context()), output_(output), zoom_(surface.zoom) {
  // Called by the surface itself, so reading it here is safe.
  layoutRequests_ =
      surface.observeLayoutRequests([this, &surface, layoutChanged = std::move(layoutChanged)] {
        zoom_ = surface.zoom;
        layoutChanged();
      });
  engine.setVideoOutput(&output);
}

MpvViewBinding::~MpvViewBinding() {
  if (auto context = engineContext_.lock(); context && context->videoOutput == &output_) {
    context->videoOutput = nullptr;
  }
}

void MpvViewBinding::applyZoom(MpvMediaPlayer* player, double width, double height) {
  if (!player || width <= 0) {
    return;
  }
  const MKVVideoSurface::Frame frame = MKVVideoSurface::videoFrame(width, height, zoom_);
  const double log2Scale = std::log2(frame.width / width);
  if (applied_ != log2Scale) {
    applied_ = log2Scale;
    player->setVideoZoom(log2Scale);
  }
}

}  // namespace orvel
