// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/X11Frames.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>

#include <algorithm>
#include <cmath>

#include "chrome/WindowGeometry.h"

namespace orvel {
namespace {

GdkSurface* x11SurfaceOf(const Gtk::Window& window) {
  auto* native = GTK_NATIVE(const_cast<GtkWindow*>(window.gobj()));
  GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
  return surface && GDK_IS_X11_SURFACE(surface) ? surface : nullptr;
}

Display* xdisplayOf(GdkSurface* surface) {
  return gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
}

double scaleOf(GdkSurface* surface) {
  const int scale = gdk_surface_get_scale_factor(surface);
  return scale > 0 ? scale : 1;
}

// The window manager's frame around a window, from _NET_FRAME_EXTENTS; none without one.
struct Insets {
  double left = 0;
  double right = 0;
  double top = 0;
  double bottom = 0;
};

Insets frameExtents(const Gtk::Window& window) {
  GdkSurface* surface = x11SurfaceOf(window);
  if (!surface) {
    return {};
  }
  Display* display = xdisplayOf(surface);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  Insets insets;
  if (XGetWindowProperty(display, gdk_x11_surface_get_xid(surface),
                         XInternAtom(display, "_NET_FRAME_EXTENTS", False), 0, 4, False,
                         XA_CARDINAL, &type, &format, &count, &remaining, &data) == Success &&
      data && format == 32 && count == 4) {
    const auto* values = reinterpret_cast<const long*>(data);
    const double scale = scaleOf(surface);
    insets = Insets{values[0] / scale, values[1] / scale, values[2] / scale, values[3] / scale};
  }
  if (data) {
    XFree(data);
  }
  return insets;
}

}  // namespace

Rect x11Frame(const Gtk::Window& window) {
  GdkSurface* surface = x11SurfaceOf(window);
  if (!surface) {
    return Rect{0, 0, static_cast<double>(window.get_width()),
                static_cast<double>(window.get_height())};
  }
  Display* display = xdisplayOf(surface);
  ::Window xid = gdk_x11_surface_get_xid(surface);
  ::Window root = 0, child = 0;
  int x = 0, y = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  XGetGeometry(display, xid, &root, &x, &y, &width, &height, &border, &depth);
  XTranslateCoordinates(display, xid, root, 0, 0, &x, &y, &child);
  const double scale = scaleOf(surface);
  return Rect{x / scale, y / scale, width / scale, height / scale};
}

void setX11Frame(Gtk::Window& window, const Rect& frame) {
  const int width = static_cast<int>(std::lround(frame.width));
  const int height = static_cast<int>(std::lround(frame.height));
  window.set_default_size(width, height);
  GdkSurface* surface = x11SurfaceOf(window);
  if (!surface) {
    return;
  }
  const double scale = scaleOf(surface);
  XMoveResizeWindow(xdisplayOf(surface), gdk_x11_surface_get_xid(surface),
                    static_cast<int>(std::lround(frame.x * scale)),
                    static_cast<int>(std::lround(frame.y * scale)),
                    static_cast<unsigned>(std::max(1L, std::lround(frame.width * scale))),
                    static_cast<unsigned>(std::max(1L, std::lround(frame.height * scale))));
  XFlush(xdisplayOf(surface));
}

std::vector<Screen> displayScreens() {
  std::vector<Screen> result;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) {
    return result;
  }
  GdkMonitor* primary =
      GDK_IS_X11_DISPLAY(display) ? gdk_x11_display_get_primary_monitor(display) : nullptr;
  GListModel* monitors = gdk_display_get_monitors(display);
  for (guint index = 0; index < g_list_model_get_n_items(monitors); ++index) {
    auto* monitor = static_cast<GdkMonitor*>(g_list_model_get_item(monitors, index));
    GdkRectangle area{};
    if (GDK_IS_X11_DISPLAY(display)) {
      gdk_x11_monitor_get_workarea(monitor, &area);
    } else {
      gdk_monitor_get_geometry(monitor, &area);
    }
    Screen screen{Rect{static_cast<double>(area.x), static_cast<double>(area.y),
                       static_cast<double>(area.width), static_cast<double>(area.height)}};
    if (monitor == primary) {
      result.insert(result.begin(), screen);
    } else {
      result.push_back(screen);
    }
    g_object_unref(monitor);
  }
  return result;
}

ScreenKeeping::ScreenKeeping(Gtk::Window& window) : window_(window) {
  mapped_ = window_.signal_map().connect([this] {
    keepOnScreenSoon();
    // The surface lays out again for many reasons; only a new size can take it past the edge.
    resized_.disconnect();
    if (auto surface = window_.get_surface()) {
      resized_ = surface->signal_layout().connect([this](int width, int height) {
        if (width != width_ || height != height_) {
          width_ = width;
          height_ = height;
          keepOnScreenSoon();
        }
      });
    }
  });
}

ScreenKeeping::~ScreenKeeping() {
  mapped_.disconnect();
  resized_.disconnect();
  settle_.disconnect();
}

// Once the window has settled: while the user drags an edge, sizes come many times a second.
void ScreenKeeping::keepOnScreenSoon() {
  settle_.disconnect();
  settle_ = Glib::signal_timeout().connect(
      [this] {
        keepOnScreen();
        return false;
      },
      kSettleMilliseconds);
}

void ScreenKeeping::keepOnScreen() {
  GdkSurface* surface = x11SurfaceOf(window_);
  if (!window_.get_mapped() || !surface) {
    return;
  }
  // The window manager's frame counts: a move names where the frame's corner goes.
  const Insets border = frameExtents(window_);
  const Rect client = x11Frame(window_);
  const Rect outer{client.x - border.left, client.y - border.top,
                   client.width + border.left + border.right,
                   client.height + border.top + border.bottom};
  const std::vector<Screen> screens = displayScreens();
  const auto best = WindowGeometry::bestScreen(screens, outer);
  if (!best) {
    return;
  }
  const Rect area = WindowGeometry::allowedArea(screens[*best], WindowGeometry::kScreenMargin);
  const Rect placed = WindowGeometry::clampToVisibleScreen(outer, area, true);
  if (placed == outer) {
    return;
  }
  const double scale = scaleOf(surface);
  XMoveResizeWindow(xdisplayOf(surface), gdk_x11_surface_get_xid(surface),
                    static_cast<int>(std::lround(placed.x * scale)),
                    static_cast<int>(std::lround(placed.y * scale)),
                    static_cast<unsigned>(std::max(
                        1L, std::lround((placed.width - border.left - border.right) * scale))),
                    static_cast<unsigned>(std::max(
                        1L, std::lround((placed.height - border.top - border.bottom) * scale))));
  XFlush(xdisplayOf(surface));
}

}  // namespace orvel
