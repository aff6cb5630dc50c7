// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/system/DesktopLaunch.h"

#include <gdk/gdk.h>
#include <gio/gio.h>
#include <giomm.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "core/Log.h"

namespace orvel {
namespace {

// A variable the player set for itself, with the value it was given, if any.
struct OwnVariable {
  std::string name;
  std::optional<std::string> given;
};

std::vector<OwnVariable>& ownVariables() {
  static std::vector<OwnVariable> variables;
  return variables;
}

}  // namespace

void setOwnEnvironmentVariable(const char* name, const char* value) {
  std::optional<std::string> given;
  if (const char* before = g_getenv(name)) {
    given = before;
  }
  g_setenv(name, value, TRUE);
  ownVariables().push_back({name, std::move(given)});
}

void openWithDesktop(const std::string& uri) {
  GdkDisplay* display = gdk_display_get_default();
  // The display's context also tells the desktop which program is starting.
  GAppLaunchContext* context =
      display ? G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display))
              : g_app_launch_context_new();
  for (const OwnVariable& variable : ownVariables()) {
    if (variable.given) {
      g_app_launch_context_setenv(context, variable.name.c_str(), variable.given->c_str());
    } else {
      g_app_launch_context_unsetenv(context, variable.name.c_str());
    }
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

namespace {

// Opens the folder holding the file when no file manager answers the request to show it.
void openContainingFolder(const Url& file) {
  const std::string folder = std::filesystem::path(file.path()).parent_path();
  if (auto url = Url::fileURL(folder)) {
    openWithDesktop(url->absoluteString());
  }
}

}  // namespace

void showInFileManager(const Url& file) {
  Gio::DBus::Connection::get(
      Gio::DBus::BusType::SESSION, [file](Glib::RefPtr<Gio::AsyncResult>& result) {
        Glib::RefPtr<Gio::DBus::Connection> bus;
        try {
          bus = Gio::DBus::Connection::get_finish(result);
        } catch (const Glib::Error&) {
          openContainingFolder(file);
          return;
        }
        const std::vector<Glib::ustring> uris{file.absoluteString()};
        auto parameters = Glib::VariantContainerBase::create_tuple(
            {Glib::Variant<std::vector<Glib::ustring>>::create(uris),
             Glib::Variant<Glib::ustring>::create("")});
        bus->call(
            "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", "ShowItems",
            parameters,
            [bus, file](Glib::RefPtr<Gio::AsyncResult>& reply) {
              try {
                bus->call_finish(reply);
              } catch (const Glib::Error& error) {
                logLine("Playlist", "No file manager shows files (" + std::string(error.what()) +
                                        "); opening the folder instead");
                openContainingFolder(file);
              }
            },
            "org.freedesktop.FileManager1", 5000);
      });
}

}  // namespace orvel
