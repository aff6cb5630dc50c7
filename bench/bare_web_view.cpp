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
  gtk_init();
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

  gchar* uri = g_filename_to_uri(argv[1], nullptr, nullptr);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
  g_free(uri);

  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect_swapped(window, "destroy", G_CALLBACK(g_main_loop_quit), loop);
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  g_object_unref(context);
  g_object_unref(settings);
  return 0;
}
