#include "platform/DesktopLaunch.h"

#include <gdk/gdk.h>
#include <gio/gio.h>

#include <vector>

#include "core/Log.h"

namespace orvel {
namespace {

std::vector<std::string>& ownVariables() {
  static std::vector<std::string> names;
  return names;
}

}  // namespace

void setOwnEnvironmentVariable(const char* name, const char* value) {
  g_setenv(name, value, TRUE);
  ownVariables().emplace_back(name);
}

void openWithDesktop(const std::string& uri) {
  GdkDisplay* display = gdk_display_get_default();
  // The display's context also tells the desktop which program is starting.
  GAppLaunchContext* context =
      display ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display))
              : g_app_launch_context_new();
  for (const std::string& name : ownVariables()) {
    g_app_launch_context_unsetenv(context, name.c_str());
  }
  g_app_info_launch_default_for_uri_async(
      uri.c_str(), context, nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        auto* opened = static_cast<char*>(data);
        GError* error = nullptr;
        if (!g_app_info_launch_default_for_uri_finish(result, &error)) {
          logLine("Player", std::string("Could not open ") + opened + ": " +
                                (error ? error->message : "unknown error"));
          g_clear_error(&error);
        }
        g_free(opened);
      },
      g_strdup(uri.c_str()));
  g_object_unref(context);
}

}  // namespace orvel
