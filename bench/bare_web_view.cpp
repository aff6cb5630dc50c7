// SPDX-License-Identifier: GPL-3.0-or-later

// The floor of the web path: one WebKitWebView of the same WebKitGTK in a GTK window, set up as
// the player sets up its view for a local file (a web context of its own with the file added to
// the sandbox, JavaScript on, media that needs no gesture, no hardware acceleration where GTK has
// no GL, a clear background, GTK's Cairo renderer without a GPU), loading the file's URL, and
// nothing else of the player around it.
// bench/compare_with_mpv.py runs it beside the player and mpv.
// usage: bare_web_view FILE
#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

// With ORVEL_STARTUP_TRACE set, the player's start-up milestones that a bare view also passes,
// in milliseconds since the process started, as the player prints them.
double processStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  std::getline(stat, line);
  std::size_t field = line.rfind(')');
  for (int skip = 0; skip < 20 && field != std::string::npos; ++skip) {
    field = line.find(' ', field + 1);
  }
  return field == std::string::npos ? 0 : std::strtod(line.c_str() + field + 1, nullptr) / 100.0;
}

void mark(const char* milestone) {
  if (!std::getenv("ORVEL_STARTUP_TRACE")) {
    return;
  }
  static const double started = processStart();
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
  std::printf("[Startup] %ld ms: %s\n", static_cast<long>((seconds - started) * 1000), milestone);
  std::fflush(stdout);
}

void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer) {
  static const char* const names[] = {"page load started", "page load redirected",
                                      "page load committed", "page load finished"};
  mark(names[event]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bare_web_view FILE\n");
    return 2;
  }
  // As the player does on a machine without a GPU: GTK's Cairo renderer and no GL at all, rather
  // than Mesa's software GL (see PlayerApplication).
  if (!g_getenv("GSK_RENDERER") && !g_file_test("/dev/dri/renderD128", G_FILE_TEST_EXISTS)) {
    g_setenv("GSK_RENDERER", "cairo", TRUE);
    if (!g_getenv("GDK_DEBUG")) {
      g_setenv("GDK_DEBUG", "gl-disable", TRUE);
    }
  }
  mark("program started");
  gtk_init();
  mark("toolkit started");
  GtkWidget* window = gtk_window_new();
  gtk_window_set_default_size(GTK_WINDOW(window), 1024, 576);
  gtk_window_set_title(GTK_WINDOW(window), "bare web view");

  WebKitSettings* settings = webkit_settings_new();
  webkit_settings_set_enable_javascript(settings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
  GError* error = nullptr;
  if (!gdk_display_prepare_gl(gdk_display_get_default(), &error)) {
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
    g_clear_error(&error);
  }
  WebKitWebContext* context = webkit_web_context_new();
  webkit_web_context_add_path_to_sandbox(context, argv[1], TRUE);
  GtkWidget* view =
      GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "network-session",
                              webkit_network_session_get_default(), "settings", settings, nullptr));
  GdkRGBA clear{0, 0, 0, 0};
  webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(view), &clear);
  gtk_window_set_child(GTK_WINDOW(window), view);
  gtk_window_present(GTK_WINDOW(window));
  g_signal_connect(view, "load-changed", G_CALLBACK(loadChanged), nullptr);

  mark("view made");
  gchar* uri = g_filename_to_uri(argv[1], nullptr, nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
  g_free(uri);
  mark("file load asked");

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect_swapped(window, "destroy", G_CALLBACK(g_main_loop_quit), loop);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  g_object_unref(context);
  g_object_unref(settings);
  return 0;
}
