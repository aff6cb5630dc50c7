// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/mpv/MpvVideoArea.h"

#include <epoxy/gl.h>
#include <gdk/x11/gdkx.h>
#include <mpv/render_gl.h>

#include "core/Log.h"
#include "platform/mpv/GLProcAddress.h"
#include "platform/mpv/MpvEngineContext.h"
#include "platform/mpv/MpvMediaEngine.h"
#include "platform/mpv/MpvMediaPlayer.h"
#include "platform/mpv/MpvSoftwareVideoArea.h"

namespace orvel {
namespace {

constexpr std::string_view kLogComponent = "MpvVideoArea";

void* procAddress(void*, const char* name) {
  return glProcAddress(name);
}

}  // namespace

MpvVideoArea::MpvVideoArea(MpvMediaEngine& engine, MKVVideoSurface& surface)
    : binding_(engine, surface, *this, [this] { applyZoom(); }) {}

MpvVideoArea::~MpvVideoArea() {
  // Unrealizing freed the render context already unless the area was never shown.
  freeRenderContext();
}

void MpvVideoArea::attach(MpvMediaPlayer& player) {
  freeRenderContext();
  player_ = &player;
  binding_.resetZoom();
  // libmpv disables video for the whole file when it starts without a render context, so
  // an area that is in a window but not shown yet gets its GL context now.
  if (!get_realized() && get_root()) {
    realize();
  }
  // Realising may already have made the context (on_realize), which libmpv allows only once.
  if (get_realized()) {
    if (!renderContext_) {
      createRenderContext();
    }
  } else {
    logLine(kLogComponent, "Not in a window; this player shows no video");
  }
  applyZoom();
}

void MpvVideoArea::detach(MpvMediaPlayer& player) {
  if (&player != player_) {
    return;
  }
  freeRenderContext();
  player_ = nullptr;
  queue_render();
}

void MpvVideoArea::on_realize() {
  Gtk::GLArea::on_realize();
  if (player_ && !renderContext_) {
    createRenderContext();
  }
}

void MpvVideoArea::on_unrealize() {
  freeRenderContext();
  Gtk::GLArea::on_unrealize();
}

void MpvVideoArea::createRenderContext() {
  if (!player_ || !player_->handle()) {
    return;
  }
  make_current();
  if (has_error()) {
    logLine(kLogComponent, "No OpenGL context; the video cannot be shown");
    return;
  }
  mpv_opengl_init_params glInit{procAddress, nullptr};
  char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
  // The hardware decoders' frames reach OpenGL without a copy only when libmpv knows the display
  // they share (VA-API over EGL, VDPAU over GLX).
  void* x11Display = nullptr;
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(gobj()));
  if (display && GDK_IS_X11_DISPLAY(display)) {
    x11Display = gdk_x11_display_get_xdisplay(display);
  }
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_API_TYPE, apiType},
      {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
      {x11Display ? MPV_RENDER_PARAM_X11_DISPLAY : MPV_RENDER_PARAM_INVALID, x11Display},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context* context = nullptr;
  if (const int result = mpv_render_context_create(&context, player_->handle(), params);
      result < 0) {
    logLine(kLogComponent,
            std::string("Cannot render video with OpenGL: ") + mpv_error_string(result));
    return;
  }
  renderContext_.reset(context);
  redrawLink_.install(context);
}

void MpvVideoArea::freeRenderContext() {
  if (!renderContext_) {
    return;
  }
  // Freeing touches GL objects, which needs this area's context current.
  if (get_realized()) {
    make_current();
  }
  MpvRedrawLink::remove(renderContext_.get());
  renderContext_.reset();
}

bool MpvVideoArea::on_render(const Glib::RefPtr<Gdk::GLContext>&) {
  if (!renderContext_) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    return true;
  }
  GLint framebuffer = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
  const int scale = get_scale_factor();
  mpv_opengl_fbo target{static_cast<int>(framebuffer), get_width() * scale, get_height() * scale,
                        0};
  int flipY = 1;
  // The main loop must not wait for a frame's display time.
  int blockForTargetTime = 0;
  mpv_render_param params[] = {
      {MPV_RENDER_PARAM_OPENGL_FBO, &target},
      {MPV_RENDER_PARAM_FLIP_Y, &flipY},
      {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
      {MPV_RENDER_PARAM_INVALID, nullptr},
  };
  mpv_render_context_render(renderContext_.get(), params);
  ++renderedFrames_;
  return true;
}

void MpvVideoArea::on_resize(int width, int height) {
  Gtk::GLArea::on_resize(width, height);
  applyZoom();
}

void MpvVideoArea::applyZoom() {
  binding_.applyZoom(player_, get_width(), get_height());
}

std::unique_ptr<Gtk::Widget> makeMpvVideoView(MpvMediaEngine& engine, MKVVideoSurface& surface) {
  const char* renderer = g_getenv("GSK_RENDERER");
  if (renderer && std::string_view(renderer) == "cairo") {
    return std::make_unique<MpvSoftwareVideoArea>(engine, surface);
  }
  return std::make_unique<MpvVideoArea>(engine, surface);
}

}  // namespace orvel
