#include "platform/PlayerApplication.h"

#include <glib-unix.h>
#include <gtkmm.h>

#include <csignal>
#include <memory>
#include <optional>
#include <string>

#include "app/LaunchArgument.h"
#include "core/Log.h"
#include "platform/PlayerController.h"

namespace orvel {

namespace {

constexpr const char* kApplicationID = "com.example.OrvelPlayer";

// Without a session bus there is no way to find a running player; run on our own then.
bool sessionBusReachable() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (!bus) {
    logLine("App", std::string("No session bus, running as a separate instance: ") +
                       (error ? error->message : "unknown error"));
    g_clear_error(&error);
    return false;
  }
  g_object_unref(bus);
  return true;
}

}  // namespace

int runPlayerApplication(int argc, char** argv) {
  // The window-manager states the player relies on (keep-above, every workspace) are X11's; under
  // Wayland the player runs through XWayland.
  if (!g_getenv("GDK_BACKEND")) {
    g_setenv("GDK_BACKEND", "x11", TRUE);
  }
  auto flags = Gio::Application::Flags::HANDLES_COMMAND_LINE;
  if (!sessionBusReachable()) {
    flags |= Gio::Application::Flags::NON_UNIQUE;
  }
  auto application = Gtk::Application::create(kApplicationID, flags);
  std::unique_ptr<PlayerController> controller;

  application->signal_command_line().connect(
      [&](const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) {
        int count = 0;
        char** arguments = commandLine->get_arguments(count);
        std::optional<std::string> text;
        if (count >= 2 && arguments[1] && *arguments[1]) {
          text = launchArgumentText(arguments[1], std::string(commandLine->get_cwd()));
        }
        g_strfreev(arguments);
        if (!controller) {
          controller = std::make_unique<PlayerController>(*application,
                                                          [&application] { application->quit(); });
          controller->start(text);
        } else if (text) {
          controller->open(*text);
        }
        return 0;
      },
      false);
  application->signal_shutdown().connect([&] {
    if (controller) {
      controller->applicationWillTerminate();
    }
  });

  // A polite kill saves positions and history like closing the window does.
  auto quitOnSignal = [](gpointer data) -> gboolean {
    static_cast<Gtk::Application*>(data)->quit();
    return G_SOURCE_CONTINUE;
  };
  g_unix_signal_add(SIGTERM, quitOnSignal, application.get());
  g_unix_signal_add(SIGINT, quitOnSignal, application.get());

  const int status = application->run(argc, argv);
  controller.reset();
  return status;
}

}  // namespace orvel
