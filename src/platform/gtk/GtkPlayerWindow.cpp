// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/GtkPlayerWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <gdk/x11/gdkx.h>

#include <cmath>

#include "core/StartupTrace.h"
#include "platform/gtk/WindowPresenting.h"
#include "platform/gtk/X11Frames.h"
#include "player/PlayerTransparency.h"

namespace orvel {

namespace {

GdkSurface* surfaceOf(const Gtk::Window& window) {
  auto* native = GTK_NATIVE(const_cast<GtkWindow*>(window.gobj()));
  return native ? gtk_native_get_surface(native) : nullptr;
}

bool isX11(GdkSurface* surface) {
  return surface && GDK_IS_X11_SURFACE(surface);
}

Display* xdisplayOf(GdkSurface* surface) {
  return gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
}

double scaleOf(GdkSurface* surface) {
  int scale = gdk_surface_get_scale_factor(surface);
  return scale > 0 ? scale : 1;
}

}  // namespace

GtkPlayerWindow::GtkPlayerWindow(Gtk::Window& window, std::function<bool()> modalShown)
    : window_(window), modalShown_(std::move(modalShown)) {
  GdkDisplay* display = gdk_display_get_default();
  if (display && GDK_IS_X11_DISPLAY(display)) {
    xeventHandler_ = g_signal_connect(display, "xevent", G_CALLBACK(onXEvent), this);
  }
  if (startupTraceEnabled()) {
    window_.add_tick_callback([](const Glib::RefPtr<Gdk::FrameClock>&) {
      startupMark("window's first frame");
      return false;
    });
  }
}

GtkPlayerWindow::~GtkPlayerWindow() {
  if (xeventHandler_) {
    g_signal_handler_disconnect(gdk_display_get_default(), xeventHandler_);
  }
}

std::int64_t GtkPlayerWindow::windowNumber() const {
  GdkSurface* surface = surfaceOf(window_);
  return isX11(surface) ? static_cast<std::int64_t>(gdk_x11_surface_get_xid(surface)) : 0;
}

bool GtkPlayerWindow::isUsable() const {
  GdkSurface* surface = surfaceOf(window_);
  return isX11(surface) && window_.get_visible() && gdk_surface_get_mapped(surface);
}

Rect GtkPlayerWindow::frame() const {
  return x11Frame(window_);
}

void GtkPlayerWindow::setFrame(const Rect& frame) {
  setX11Frame(window_, frame);
}

std::vector<Screen> GtkPlayerWindow::screens() const {
  return displayScreens();
}

// Asks the window manager to change something about this window: window managers take such
// requests as client messages sent to the root window.
void GtkPlayerWindow::sendToWindowManager(const char* message, long first, long second,
                                          long fourth) const {
  GdkSurface* surface = surfaceOf(window_);
  if (!isX11(surface)) {
    return;
  }
  Display* display = xdisplayOf(surface);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = gdk_x11_surface_get_xid(surface);
  event.xclient.message_type = XInternAtom(display, message, False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = first;
  event.xclient.data.l[1] = second;
  event.xclient.data.l[3] = fourth;
  XSendEvent(display, DefaultRootWindow(display), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

void GtkPlayerWindow::sendState(bool add, const char* state) const {
  GdkSurface* surface = surfaceOf(window_);
  if (!isX11(surface)) {
    return;
  }
  const long atom = static_cast<long>(XInternAtom(xdisplayOf(surface), state, False));
  // The last value says the request comes from a normal application.
  sendToWindowManager("_NET_WM_STATE", add ? 1 : 0, atom, 1);
}

void GtkPlayerWindow::setKeepAbove(bool above) {
  sendState(above, "_NET_WM_STATE_ABOVE");
}

void GtkPlayerWindow::setSticky(bool sticky) {
  sendState(sticky, "_NET_WM_STATE_STICKY");
  // Window managers that keep desktops apart honour "every desktop" rather than the sticky state.
  sendToWindowManager("_NET_WM_DESKTOP", sticky ? 0xFFFFFFFFL : 0, 1, 0);
}

void GtkPlayerWindow::present() {
  presentWindow(window_);
}

bool GtkPlayerWindow::isMouseButtonPressed() const {
  GdkSurface* surface = surfaceOf(window_);
  if (!isX11(surface)) {
    return false;
  }
  Display* display = xdisplayOf(surface);
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask);
  return (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

void GtkPlayerWindow::setReceivesMouseEvents(bool receives) {
  GdkSurface* surface = surfaceOf(window_);
  if (!surface) {
    return;
  }
  if (receives) {
    gdk_surface_set_input_region(surface, nullptr);
  } else {
    cairo_region_t* empty = cairo_region_create();
    gdk_surface_set_input_region(surface, empty);
    cairo_region_destroy(empty);
  }
}

void GtkPlayerWindow::setContentOpacity(double opacity) {
  if (contentOpacity_) {
    contentOpacity_(opacity);
  }
  showTopStripOnly(opacity <= 0);
}

// A window whose content has vanished is cut down to its top strip, so that what lies below shows
// unchanged: a window manager that does not composite would otherwise show black where the
// content was, and one that does draws nothing of ours there either way.
void GtkPlayerWindow::showTopStripOnly(bool only) const {
  GdkSurface* surface = surfaceOf(window_);
  if (!isX11(surface)) {
    return;
  }
  Display* display = xdisplayOf(surface);
  const ::Window xid = gdk_x11_surface_get_xid(surface);
  if (only) {
    XRectangle strip{0, 0, 0xFFFF,
                     static_cast<unsigned short>(
                         std::lround(PlayerTransparency::kTopStripHeight * scaleOf(surface)))};
    XShapeCombineRectangles(display, xid, ShapeBounding, 0, 0, &strip, 1, ShapeSet, Unsorted);
  } else {
    XShapeCombineMask(display, xid, ShapeBounding, 0, 0, None, ShapeSet);
  }
  XFlush(display);
}

void GtkPlayerWindow::setAspectRatioLocked(bool locked) {
  GdkSurface* surface = surfaceOf(window_);
  if (!isX11(surface)) {
    return;
  }
  // The window manager proposes only 16:9 sizes while the hint is set; whatever else GTK put in
  // the hints (minimum size, gravity) is kept.
  Display* display = xdisplayOf(surface);
  const ::Window xid = gdk_x11_surface_get_xid(surface);
  XSizeHints hints{};
  long supplied = 0;
  XGetWMNormalHints(display, xid, &hints, &supplied);
  if (locked) {
    hints.flags |= PAspect;
    hints.min_aspect.x = hints.max_aspect.x = 16;
    hints.min_aspect.y = hints.max_aspect.y = 9;
  } else {
    hints.flags &= ~PAspect;
  }
  XSetWMNormalHints(display, xid, &hints);
  XFlush(display);
}

std::optional<PlayerWindow::Pointer> GtkPlayerWindow::pointer() const {
  GdkSurface* surface = surfaceOf(window_);
  if (!isX11(surface)) {
    return std::nullopt;
  }
  // Asked relative to the window itself, whose size GTK knows: one round trip to the X server.
  Display* display = xdisplayOf(surface);
  ::Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned mask = 0;
  if (!XQueryPointer(display, gdk_x11_surface_get_xid(surface), &root, &child, &rootX, &rootY, &x,
                     &y, &mask)) {
    return std::nullopt;  // on another screen
  }
  const double scale = scaleOf(surface);
  const Point location{x / scale, y / scale};
  return Pointer{
      .location = location,
      .inside = location.x >= 0 && location.x < window_.get_width() && location.y >= 0 &&
                location.y < window_.get_height(),
      .buttonPressed =
          (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0,
  };
}

gboolean GtkPlayerWindow::onXEvent(GdkDisplay*, gpointer xevent, gpointer self) {
  auto* player = static_cast<GtkPlayerWindow*>(self);
  auto* event = static_cast<XEvent*>(xevent);
  if (event->type != ConfigureNotify || !player->frameObserver_) {
    return FALSE;
  }
  GdkSurface* surface = surfaceOf(player->window_);
  if (!isX11(surface) || event->xconfigure.window != gdk_x11_surface_get_xid(surface)) {
    return FALSE;
  }
  Rect current = player->frame();
  if (current != player->lastReported_) {
    player->lastReported_ = current;
    player->frameObserver_(current);
  }
  return FALSE;
}

}  // namespace orvel
