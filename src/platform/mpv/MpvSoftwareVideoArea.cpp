// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvSoftwareVideoArea.h"

#include <gtkmm/snapshot.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Log.h"
#include "platform/mpv/MpvEngineContext.h"
#include "platform/mpv/MpvMediaEngine.h"
#include "platform/mpv/MpvMediaPlayer.h"

namespace orvel {
namespace {

constexpr std::string_view kLogComponent = "MpvSoftwareVideoArea";
// libmpv's fast paths want rows and the buffer on 64-byte boundaries.
constexpr std::size_t kAlignment = 64;

// libmpv leaves the fourth byte of "bgr0" undefined; the picture is opaque.
void makeOpaque(std::uint8_t* pixels, std::size_t stride, int width, int height) {
  constexpr std::uint32_t kAlpha = std::endian::native == std::endian::little ? 0xFF000000u : 0xFFu;
  for (int row = 0; row < height; ++row) {
    auto* pixel = reinterpret_cast<std::uint32_t*>(pixels + stride * static_cast<std::size_t>(row));
    for (int column = 0; column < width; ++column) {
      pixel[column] |= kAlpha;
    }
  }
}

}  // namespace

MpvSoftwareVideoArea::MpvSoftwareVideoArea(MpvMediaEngine& engine, MKVVideoSurface& surface)
    : binding_(engine, surface, *this, [this] { applyZoom(); }) {}

MpvSoftwareVideoArea::~MpvSoftwareVideoArea() {
  freeRenderContext();
}

void MpvSoftwareVideoArea::attach(MpvMediaPlayer& player) {
  freeRenderContext();
  player_ = &player;
  binding_.resetZoom();
  if (!player.handle()) {
    return;
  }
  char apiType[] = MPV_RENDER_API_TYPE_SW;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, apiType},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context* context = nullptr;
  if (const int result = mpv_render_context_create(&context, player.handle(), params); result < 0) {
    logLine(kLogComponent,
            std::string("Cannot render video in software: ") + mpv_error_string(result));
    return;
  }
  renderContext_.reset(context);
  redrawLink_.install(context);
  applyZoom();
}

void MpvSoftwareVideoArea::detach(MpvMediaPlayer& player) {
  if (&player != player_) {
    return;
  }
  freeRenderContext();
  player_ = nullptr;
  picture_.reset();
  queue_draw();
}

void MpvSoftwareVideoArea::freeRenderContext() {
  if (!renderContext_) {
    return;
  }
  MpvRedrawLink::remove(renderContext_.get());
  renderContext_.reset();
}

void MpvSoftwareVideoArea::render(bool force) {
  if (!renderContext_) {
    return;
  }
  // Every update must be asked for, whether or not it brings a picture.
  const bool newPicture =
      (mpv_render_context_update(renderContext_.get()) & MPV_RENDER_UPDATE_FRAME) != 0;
  const int scale = get_scale_factor();
  const int width = get_width() * scale;
  const int height = get_height() * scale;
  if ((!newPicture && !force) || width <= 0 || height <= 0) {
    return;
  }
  const std::size_t stride =
      (static_cast<std::size_t>(width) * 4 + kAlignment - 1) / kAlignment * kAlignment;
  const std::size_t size = stride * static_cast<std::size_t>(height);
  auto* pixels = static_cast<std::uint8_t*>(std::aligned_alloc(kAlignment, size));
  if (!pixels) {
    return;
  }
  int pictureSize[] = {width, height};
  char format[] = "bgr0";
  std::size_t rowBytes = stride;
  // The main loop must not wait for a frame's display time.
  int blockForTargetTime = 0;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_SW_SIZE, pictureSize},
      {MPV_RENDER_PARAM_SW_FORMAT, format},
      {MPV_RENDER_PARAM_SW_STRIDE, &rowBytes},
      {MPV_RENDER_PARAM_SW_POINTER, pixels},
      {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  if (mpv_render_context_render(renderContext_.get(), params) < 0) {
    std::free(pixels);
    return;
  }
  makeOpaque(pixels, stride, width, height);
  GBytes* bytes = g_bytes_new_with_free_func(pixels, size, std::free, pixels);
  picture_ = Glib::wrap(
      gdk_memory_texture_new(width, height, GDK_MEMORY_B8G8R8A8_PREMULTIPLIED, bytes, stride));
  g_bytes_unref(bytes);
  ++renderedFrames_;
  queue_draw();
}

void MpvSoftwareVideoArea::snapshot_vfunc(const Glib::RefPtr<Gtk::Snapshot>& snapshot) {
  const Gdk::Rectangle bounds(0, 0, get_width(), get_height());
  if (!picture_) {
    snapshot->append_color(Gdk::RGBA(0, 0, 0, 1), bounds);
    return;
  }
  snapshot->append_texture(picture_, bounds);
}

void MpvSoftwareVideoArea::size_allocate_vfunc(int width, int height, int baseline) {
  Gtk::Widget::size_allocate_vfunc(width, height, baseline);
  applyZoom();
  // The picture is drawn at the view's size; a new size needs a new picture, paused or not.
  if (picture_ && (picture_->get_width() != width * get_scale_factor() ||
                   picture_->get_height() != height * get_scale_factor())) {
    render(true);
  }
}

void MpvSoftwareVideoArea::applyZoom() {
  binding_.applyZoom(player_, get_width(), get_height());
}

}  // namespace orvel
