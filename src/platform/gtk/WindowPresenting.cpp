// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/gtk/WindowPresenting.h"

#include <gdk/x11/gdkx.h>

#include <charconv>
#include <utility>

namespace orvel {

namespace {

// Taken by the next window brought to the front; an event answers one request.
std::uint32_t pendingTime = 0;

}  // namespace

void noteUserEventTime(std::uint32_t time) {
  pendingTime = time;
}

std::uint32_t startupNotificationTime(const std::string& id) {
  const auto at = id.rfind("_TIME");
  if (at == std::string::npos) {
    return 0;
  }
  std::uint32_t time = 0;
  const char* first = id.data() + at + 5;
  const char* last = id.data() + id.size();
  const auto [end, error] = std::from_chars(first, last, time);
  return error == std::errc() && end == last ? time : 0;
}

void noteLaunchEventTime() {
  GdkDisplay* display = gdk_display_get_default();
  if (display && GDK_IS_X11_DISPLAY(display)) {
    if (const char* id = gdk_x11_display_get_startup_notification_id(display)) {
      noteUserEventTime(startupNotificationTime(id));
    }
  }
}

void presentWindow(Gtk::Window& window) {
  const std::uint32_t given = std::exchange(pendingTime, 0);
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window.gobj()));
  if (!display || !GDK_IS_X11_DISPLAY(display)) {
    window.present();
    return;
  }
  // A window shown for the first time has no surface to ask the server's time through yet.
  if (!window.get_realized()) {
    gtk_widget_realize(GTK_WIDGET(window.gobj()));
  }
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window.gobj()));
  std::uint32_t time = given;
  if (time == 0 && surface && GDK_IS_X11_SURFACE(surface)) {
    time = gdk_x11_get_server_time(surface);
  }
  gtk_window_present_with_time(window.gobj(), time);
}

}  // namespace orvel
