// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/shell/PlayerApplication.h"

#include <glib-unix.h>
#include <gtkmm.h>

#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "app/GStreamerRegistryCheck.h"
#include "app/LaunchArgument.h"
#include "core/Log.h"
#include "core/StartupTrace.h"
#include "core/Translation.h"
#include "media/StreamingProviderRegistry.h"
#include "platform/gtk/ControlMap.h"
#include "platform/gtk/PlayerChromeStyle.h"
#include "platform/shell/NativeMedia.h"
#include "platform/shell/PlayerController.h"
#include "platform/shell/Resources.h"
#include "platform/system/DesktopLaunch.h"
#include "platform/system/StallTrace.h"
#include "platform/webkit/WebEngineWarmup.h"

namespace orvel {

namespace {

constexpr const char* kApplicationID = "com.example.OrvelPlayer";

// Without a session bus there is no way to find a running player; run on our own then.
// Without a GPU (no render node), OpenGL is Mesa's software rasteriser; GTK's GL renderer then
// spends a quarter of a second starting up and draws every frame in software anyway, while its
// Cairo renderer starts at once. Measured on such a machine, the first MKV frame came at 687 ms
// with GL and 363 ms with Cairo. GDK would still open an EGL display at start-up to choose its
// visual, which loads Mesa's shader compiler (LLVM): about 60 MB resident and a tenth of a second
// that nothing uses, so GL is left off altogether. The user's own choice of renderer, or of GDK's
// debug flags, always wins.
void preferCairoWithoutGPU() {
  if (g_getenv("GSK_RENDERER")) {
    return;
  }
  GDir* devices = g_dir_open("/dev/dri", 0, nullptr);
  bool hasRenderNode = false;
  if (devices) {
    while (const char* name = g_dir_read_name(devices)) {
      hasRenderNode = hasRenderNode || g_str_has_prefix(name, "renderD");
    }
    g_dir_close(devices);
  }
  if (!hasRenderNode) {
    setOwnEnvironmentVariable("GSK_RENDERER", "cairo");
    if (!g_getenv("GDK_DEBUG")) {
      setOwnEnvironmentVariable("GDK_DEBUG", "gl-disable");
    }
  }
}

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

// Everything but an MKV file, which plays natively, may soon need the web view's media.
bool mayPlayWebMedia(const std::optional<std::string>& launchText) {
  if (!launchText) {
    return true;
  }
  const auto media = StreamingProviderRegistry::shared().resolve(*launchText);
  return !media || media->providerID != "mkv";
}

// The web engine's process builds the media framework's registry when it finds none (a first
// start, or plugins installed since), which holds its first frame for a few hundred milliseconds:
// then the player readies it on a thread of its own while it starts. With the registry current,
// that thread would only take a core from the start.
bool mediaRegistryNeedsReadying() {
  const auto environment = [](const std::string& name) -> std::optional<std::string> {
    const char* value = g_getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  return !GStreamerRegistryCheck::isCurrent(
      GStreamerRegistryCheck::registryFiles(environment, g_get_user_cache_dir()),
      GStreamerRegistryCheck::pluginFolders(environment, ORVEL_GST_PLUGIN_DIR,
                                            g_get_user_data_dir()));
}

// Set before the toolkit starts, for the player alone.
void setPlayerEnvironment() {
  // The window-manager states the player relies on (keep-above, every workspace) are X11's; under
  // Wayland the player runs through XWayland.
  if (!g_getenv("GDK_BACKEND")) {
    setOwnEnvironmentVariable("GDK_BACKEND", "x11");
  }
  preferCairoWithoutGPU();
  // The player's chrome is light on dark by design: whatever theme the user names, the player's
  // windows take its dark variant, so that its texts and symbols stay readable (Adwaita becomes
  // Adwaita:dark, HighContrast HighContrast:dark). Without a named theme, the toolkit's own
  // preference for dark does the same.
  if (const char* theme = g_getenv("GTK_THEME");
      theme && *theme && std::string_view(theme).find(':') == std::string_view::npos) {
    setOwnEnvironmentVariable("GTK_THEME", (std::string(theme) + ":dark").c_str());
  }
}

// What the program holds while it runs: the player, made at the first launch, and what starts
// before it.
class Launches {
 public:
  explicit Launches(Gtk::Application& application) : application_(application) {}

  // The first launch starts the player; later ones hand it what they were given.
  int commandLine(const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) {
    int count = 0;
    char** arguments = commandLine->get_arguments(count);
    std::optional<std::string> text;
    if (count >= 2 && arguments[1] && *arguments[1]) {
      text = launchArgumentText(arguments[1], std::string(commandLine->get_cwd()));
    }
    g_strfreev(arguments);
    if (!controller_) {
      startupMark("toolkit started");
      // An MKV file needs the native media module, whose hundred-odd libraries take about a
      // tenth of a second to load: they load on a thread of their own while the player is built.
      if (!mayPlayWebMedia(text)) {
        nativeMediaAhead_ = std::jthread([] { nativeMediaBackend(); });
      } else if (mediaRegistryNeedsReadying()) {
        webEngineWarmup_.emplace();
      }
      // The windows take their icon from the theme when they are realized, so the player's
      // own icons must be found by then.
      PlayerChromeStyle::load();
      Gtk::Window::set_default_icon_name(kApplicationID);
      controller_ =
          std::make_unique<PlayerController>(application_, [this] { application_.quit(); });
#ifdef ORVEL_TEST_HOOKS
      controlMap_.emplace(application_.get_dbus_connection()
                              ? application_.get_dbus_connection()->gobj()
                              : nullptr);
#endif
      startupMark("player built");
      controller_->start(text);
      startupMark("player started");
      startStallTrace();
    } else if (text) {
      controller_->open(*text);
    }
    return 0;
  }

  void shutdown() {
    if (controller_) {
      controller_->applicationWillTerminate();
    }
  }

  ~Launches() {
    controller_.reset();
  }

 private:
  Gtk::Application& application_;
  std::unique_ptr<PlayerController> controller_;
  std::optional<WebEngineWarmup> webEngineWarmup_;
  std::jthread nativeMediaAhead_;
#ifdef ORVEL_TEST_HOOKS
  std::optional<ControlMapService> controlMap_;
#endif
};

}  // namespace

int runPlayerApplication(int argc, char** argv) {
  startupMark("program started");
  setPlayerEnvironment();
  useLocaleFolder(localeFolder());
  // The program's name becomes the window's WM_CLASS, which desktops match against the desktop
  // file's StartupWMClass: the application ID, as the desktop file, the icon and the bus name.
  // (No application name: the toolkit's hidden leader window would carry it as its title, and
  // only the player's window is called "Orvel player".)
  g_set_prgname(kApplicationID);
  auto flags = Gio::Application::Flags::HANDLES_COMMAND_LINE;
  if (!sessionBusReachable()) {
    flags |= Gio::Application::Flags::NON_UNIQUE;
  }
  auto application = Gtk::Application::create(kApplicationID, flags);

  Launches launches(*application);
  application->signal_command_line().connect(
      [&launches](const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) {
        return launches.commandLine(commandLine);
      },
      false);
  application->signal_shutdown().connect([&launches] { launches.shutdown(); });

  // A polite kill saves positions and history like closing the window does.
  auto quitOnSignal = [](gpointer data) -> gboolean {
    static_cast<Gtk::Application*>(data)->quit();
    return G_SOURCE_CONTINUE;
  };
  g_unix_signal_add(SIGTERM, quitOnSignal, application.get());
  g_unix_signal_add(SIGINT, quitOnSignal, application.get());

  return application->run(argc, argv);
}

}  // namespace orvel
