// SPDX-License-Identifier: GPL-3.0-or-later

// The player as the desktop reaches it: the command keys, the status menu in the tray and on the
// top strip, MPRIS, and the feedback and watch history windows.

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/Date.h"
#include "core/SqliteDefaults.h"
#include "e2e/EndToEnd.h"
#include "e2e/LocalWebServer.h"
#include "e2e/XDisplay.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel::e2e {
namespace {

// Each key of the commands reaches its action in the running player; a right click on the top
// strip opens the status menu there, for desktops without a tray.
TEST(PlayerEndToEndShell, TheCommandKeysActAndTheTopStripOpensTheStatusMenu) {
  Home home;
  Player player(home, {}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  const WindowGeometry frame = windowGeometry(*window);
  ASSERT_TRUE(waitUntil(playerIsAbove, 30)) << playerWindowState();
  ASSERT_TRUE(focusWindow(*window));

  // Each switch says what it did in the status bubble.
  auto says = [&](const std::string& message) {
    EXPECT_TRUE(home.control(message, 30, frame)) << message << "\n" << home.controlNames();
  };
  pressKeys({"ctrl+l"});
  EXPECT_TRUE(waitUntil([&] { return !playerIsAbove(); }, 30)) << playerWindowState();
  EXPECT_FALSE(home.storedSwitch("alwaysOnTopEnabled"));
  says("Always on top disabled");
  pressKeys({"ctrl+l"});
  EXPECT_TRUE(waitUntil(playerIsAbove, 30)) << playerWindowState();
  says("Always on top enabled");

  pressKeys({"ctrl+8"});
  EXPECT_TRUE(waitUntil([&] { return home.storedSwitch("eightyTransparencyEnabled"); }, 30));
  says("Transparency 80% enabled");
  pressKeys({"ctrl+8"});
  EXPECT_TRUE(waitUntil([&] { return !home.storedSwitch("eightyTransparencyEnabled"); }, 30));
  says("Transparency reset");

  // With the pointer away, so that hover mode does not hide the window meanwhile.
  pointerTo(frame.x > 20 ? frame.x / 2 : frame.x + frame.width + 10, frame.centreY());
  pressKeys({"ctrl+t"});
  EXPECT_TRUE(waitUntil([&] { return home.storedSwitch("hoverTransparencyEnabled"); }, 30));
  says("Hover mode enabled");
  pressKeys({"ctrl+t"});
  EXPECT_TRUE(waitUntil([&] { return !home.storedSwitch("hoverTransparencyEnabled"); }, 30));
  says("Hover mode disabled");

  pressKeys({"ctrl+shift+h"});
  EXPECT_TRUE(waitForWindow("Watch History")) << player.log();
  run({"wmctrl", "-c", "Watch History"});
  EXPECT_TRUE(waitUntil([] { return !windowShown("Watch History"); }, 30)) << player.log();

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+o"});
  const auto ask = waitForWindow("Open Streaming URL");
  ASSERT_TRUE(ask) << player.log();
  ASSERT_TRUE(focusWindow(*ask));
  pressKeys({"Escape"});
  EXPECT_TRUE(waitUntil([] { return !windowShown("Open Streaming URL"); }, 30));

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto panel = waitForWindow("Playlist");
  ASSERT_TRUE(panel) << player.log();
  // Escape in the empty search field closes the panel.
  ASSERT_TRUE(clickControl(home, "Search this folder", 1, 1, windowGeometry(*panel)))
      << home.controlNames();
  pressKeys({"Escape"});
  EXPECT_TRUE(waitUntil([] { return !windowShown("Playlist"); }, 30)) << player.log();

  // The status menu, with the keep-on-top switch ticked.
  clickAt(frame.centreX(), frame.y + 8, 3);
  EXPECT_TRUE(home.control("Always On Top")) << home.controlNames();
  screenshot("status-menu.png");
  pressKeys({"Escape"});
  EXPECT_TRUE(waitUntil([&] { return !home.control("Always On Top", 0); }, 30))
      << home.controlNames();

  // Ctrl+Q quits, saving first.
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+q"});
  EXPECT_EQ(player.wait(30), 0) << player.log();
}

// The status menu as a tray host reads it: the item's properties, and the dbusmenu layout.
class TrayReader {
 public:
  explicit TrayReader(const Home& home) : home_(home) {}

  // The item's bus name, once the player owns it.
  bool find() {
    return waitUntil(
        [&] {
          const std::string names = call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.ListNames", "");
          const auto at = names.find("org.kde.StatusNotifierItem-");
          if (at == std::string::npos) {
            return false;
          }
          name_ = names.substr(at, names.find('\'', at) - at);
          return true;
        },
        20);
  }

  std::string properties() const {
    return call(name_, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.GetAll",
                "org.kde.StatusNotifierItem");
  }
  std::string layout() const {
    return call(name_, "/MenuBar", "com.canonical.dbusmenu.GetLayout", "0 'int32 -1' '@as []'");
  }
  // The id of the entry with this label; -1 when there is none.
  int entry(const std::string& label) const {
    const std::string text = layout();
    const std::string marker = "'label': <'" + label + "'>";
    const auto at = text.find(marker);
    if (at == std::string::npos) {
      return -1;
    }
    const auto open = text.rfind("<(", at);
    return open == std::string::npos ? -1 : std::atoi(text.c_str() + open + 2);
  }
  // The toggle state shown for an entry: 1 ticked, 0 not, -1 no such entry.
  int checkMark(const std::string& label) const {
    const std::string text = layout();
    const auto at = text.find("'label': <'" + label + "'>");
    const auto open = at == std::string::npos ? std::string::npos : text.rfind("<(", at);
    if (open == std::string::npos) {
      return -1;
    }
    const auto state = text.find("'toggle-state': <", open);
    return state == std::string::npos || state > at ? -1 : std::atoi(text.c_str() + state + 17);
  }
  void click(int id) const {
    call(name_, "/MenuBar", "com.canonical.dbusmenu.Event",
         std::to_string(id) + " clicked '<0>' 0");
  }

 private:
  std::string call(const std::string& destination, const std::string& path,
                   const std::string& method, const std::string& arguments) const {
    return home_.busCall(destination, path, method, arguments);
  }

  const Home& home_;
  std::string name_;
};

TEST(PlayerEndToEndShell, TheTrayMenuFollowsTheSwitchesAndPlaysAndClearsRecentVideos) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 30));
  standInForYouTube(home, R"({"videos": {"aaaaaaaaaaa": ")" + clip + R"(", "bbbbbbbbbbb": ")" +
                              clip +
                              R"("}, "titles": {"aaaaaaaaaaa": "First talk", "bbbbbbbbbbb": )"
                              R"("Second talk"}})");
  LocalWebServer updates;
  updates.route("/appcast.xml",
                {.contentType = "application/rss+xml",
                 .body = R"(<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/)"
                         R"(sparkle"><channel><item><sparkle:shortVersionString>99.0)"
                         R"(</sparkle:shortVersionString><link>https://example.com/notes</link>)"
                         R"(</item></channel></rss>)",
                 .extraHeaders = ""});
  home.addEnvironment("ORVEL_UPDATE_FEED=" + updates.url("/appcast.xml"));
  Player player(home, {}, "player.log");
  TrayReader tray(home);
  ASSERT_TRUE(tray.find()) << player.log();
  const std::string properties = tray.properties();
  EXPECT_NE(properties.find("'Title': <'Orvel player'>"), std::string::npos) << properties;
  EXPECT_NE(properties.find("'Menu': <objectpath '/MenuBar'>"), std::string::npos) << properties;
  // The player's own symbolic icon, where the host is told to look for it.
  EXPECT_NE(properties.find("'IconName': <'com.example.OrvelPlayer-symbolic'>"), std::string::npos)
      << properties;
  const std::string themeKey = "'IconThemePath': <'";
  const auto theme = properties.find(themeKey);
  ASSERT_NE(theme, std::string::npos) << properties;
  const std::string themePath =
      properties.substr(theme + themeKey.size(),
                        properties.find('\'', theme + themeKey.size()) - theme - themeKey.size());
  EXPECT_TRUE(std::filesystem::exists(
      themePath + "/hicolor/symbolic/apps/com.example.OrvelPlayer-symbolic.svg"))
      << themePath;
  // No tray host on this bus: said once, not an error.
  EXPECT_TRUE(waitUntil([&] { return player.logContains("No tray host on the session bus"); }, 30))
      << player.log();

  EXPECT_GE(tray.entry("No Recent Videos"), 0) << tray.layout();
  EXPECT_EQ(tray.checkMark("Always On Top"), 1) << tray.layout();
  // The switch changed from the application's own action: the tray's mark follows.
  activate(home, "'always-on-top'", "[]");
  EXPECT_TRUE(waitUntil([&] { return tray.checkMark("Always On Top") == 0; }, 30)) << tray.layout();
  tray.click(tray.entry("Always On Top"));
  EXPECT_TRUE(waitUntil([&] { return tray.checkMark("Always On Top") == 1; }, 30)) << tray.layout();

  // Two videos played; the older one comes back through its menu entry.
  auto launch = [&](const std::string& link) {
    Player later(home, {link}, "later.log");
    EXPECT_EQ(later.wait(30), 0) << later.log();
  };
  launch("https://youtu.be/aaaaaaaaaaa");
  ASSERT_TRUE(waitUntil([&] { return tray.entry("First talk") >= 0; }, 40)) << player.log();
  launch("https://youtu.be/bbbbbbbbbbb");
  ASSERT_TRUE(waitUntil([&] { return tray.entry("Second talk") >= 0; }, 40)) << player.log();
  EXPECT_GE(tray.entry("Recent Entries: 2"), 0) << tray.layout();
  tray.click(tray.entry("First talk"));
  EXPECT_TRUE(waitUntil(
      [&] { return home.lastURL() == "https://www.youtube.com/watch?v=aaaaaaaaaaa"; }, 40))
      << player.log();

  // The menu is laid out anew as the list changes; a click on an entry that went meanwhile is
  // ignored, as a tray host's would be.
  EXPECT_TRUE(waitUntil(
      [&] {
        tray.click(tray.entry("Clear Recent Videos"));
        return tray.entry("No Recent Videos") >= 0;
      },
      30))
      << tray.layout();
  EXPECT_GE(tray.entry("Recent Entries: 0"), 0) << tray.layout();
  EXPECT_GE(tray.entry("Watch History Entries: 2"), 0) << tray.layout();

  // The feed offers a newer version: the dialog says so and links its notes.
  tray.click(tray.entry("Check for Updates…"));
  EXPECT_TRUE(waitForWindow("A new version is available")) << player.log();
  screenshot("update-newer.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// A tray host that goes away and comes back gets the item again; the player plays on.
TEST(PlayerEndToEndShell, ATrayHostThatRestartsIsRegisteredWithAgain) {
  Home home;
  const std::string registrations = home.folder().file("registrations.log");
  auto count = [&] {
    std::ifstream log(registrations);
    std::string line;
    int lines = 0;
    while (std::getline(log, line)) {
      lines += line.find("registered org.kde.StatusNotifierItem-") == 0 ? 1 : 0;
    }
    return lines;
  };
  Player player(home, {}, "player.log");
  ASSERT_TRUE(playerWindow(home)) << player.log();
  {
    Player host(home, Player::Program{ORVEL_E2E_TRAY_WATCHER, registrations}, "host.log");
    EXPECT_TRUE(waitUntil([&] { return count() == 1; }, 30)) << player.log();
    host.terminate();
  }
  Player host(home, Player::Program{ORVEL_E2E_TRAY_WATCHER, registrations}, "host.log");
  EXPECT_TRUE(waitUntil([&] { return count() == 2; }, 30)) << player.log();
  EXPECT_TRUE(player.logContains("Registered with the tray host")) << player.log();
  host.terminate();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Whether the window lies whole on the screen (the window manager's frame aside).
bool isOnScreen(const WindowGeometry& window) {
  int width = 0;
  int height = 0;
  std::istringstream(commandOutput("xdotool getdisplaygeometry")) >> width >> height;
  return width > 0 && window.x >= 0 && window.y >= 0 && window.x + window.width <= width &&
         window.y + window.height <= height;
}

// The player as the desktop's media keys and media widgets reach it: MPRIS on the session bus.
class MediaControls {
 public:
  static constexpr const char* kName = "org.mpris.MediaPlayer2.OrvelPlayer";

  explicit MediaControls(const Home& home) : home_(home) {}
  ~MediaControls() {
    if (monitorPID_ > 0) {
      ::kill(monitorPID_, SIGTERM);
    }
  }
  MediaControls(const MediaControls&) = delete;
  MediaControls& operator=(const MediaControls&) = delete;

  bool find() const {
    return waitUntil(
        [&] {
          return home_
                     .busCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus.ListNames", "")
                     .find(kName) != std::string::npos;
        },
        20);
  }
  // The player's signals from now on, written to a file as gdbus prints them.
  void monitor() {
    signals_ = home_.folder().file("mpris-signals.log");
    const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + home_.busAddress() +
                                "' stdbuf -oL gdbus monitor --session --dest " + kName + " >'" +
                                signals_ + "' 2>&1 & echo $!";
    monitorPID_ = std::atoi(commandOutput(command).c_str());
    // gdbus says so once it listens.
    waitUntil([&] { return readFile(signals_).find("Monitoring") != std::string::npos; }, 30);
  }
  std::string signals() const { return readFile(signals_); }

  std::string property(const std::string& name) const {
    return call("org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player " + name);
  }
  std::string status() const { return property("PlaybackStatus"); }
  // The position in seconds, or -1 when it cannot be read.
  double position() const {
    const std::string text = property("Position");
    const auto at = text.find("int64 ");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + 6) / 1e6;
  }
  // The track's object path from the metadata.
  std::string track() const {
    const std::string metadata = property("Metadata");
    const std::string marker = "objectpath '";
    const auto at = metadata.find(marker);
    return at == std::string::npos
               ? ""
               : metadata.substr(at + marker.size(),
                                 metadata.find('\'', at + marker.size()) - at - marker.size());
  }
  std::string player(const std::string& method, const std::string& arguments = "") const {
    return call("org.mpris.MediaPlayer2.Player." + method, arguments);
  }
  std::string call(const std::string& method, const std::string& arguments) const {
    return home_.busCall(kName, "/org/mpris/MediaPlayer2", method, arguments);
  }

 private:
  const Home& home_;
  std::string signals_;
  pid_t monitorPID_ = -1;
};

// An MKV on the native player and a WebM in the web view, both played, paused and sought from
// the desktop's media controls; quitting from there saves as the player's own quit does.
TEST(PlayerEndToEndShell, MprisControlsPlayback) {
  Home home;
  const std::string film = makeClip(home, "film.mkv", 60);
  const std::string clip = makeClip(home, "clip.webm", 30);
  Player player(home, {film}, "player.log");
  MediaControls controls(home);
  ASSERT_TRUE(controls.find()) << player.log();
  ASSERT_TRUE(waitUntil([&] { return controls.status() == "(<'Playing'>,)\n"; }, 30))
      << controls.status() << player.log();
  const std::string identity =
      controls.call("org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2 Identity");
  EXPECT_EQ(identity, "(<'Orvel player'>,)\n");
  // The length comes with the file's duration, which the engine may report after it plays.
  std::string metadata;
  waitUntil(
      [&] {
        metadata = controls.property("Metadata");
        return metadata.find("'mpris:length'") != std::string::npos;
      },
      30);
  EXPECT_NE(metadata.find("'xesam:title': <'film'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'xesam:url': <'" + fileURL(film) + "'>"), std::string::npos) << metadata;
  const auto length = metadata.find("'mpris:length': <int64 ");
  ASSERT_NE(length, std::string::npos) << metadata;
  EXPECT_NEAR(std::atof(metadata.c_str() + length + 23), 60e6, 0.3e6) << metadata;

  controls.monitor();
  controls.player("Pause");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Paused'>,)\n"; }, 30))
      << controls.status();
  const double paused = controls.position();
  ASSERT_GE(paused, 0);
  controls.player("Seek", "5000000");
  EXPECT_TRUE(waitUntil([&] { return std::abs(controls.position() - (paused + 5)) < 0.3; }, 30))
      << controls.position() << " after " << paused;
  EXPECT_TRUE(waitUntil(
      [&] {
        return controls.signals().find("org.mpris.MediaPlayer2.Player.Seeked (int64 ") !=
               std::string::npos;
      },
      30))
      << controls.signals();
  EXPECT_NE(controls.signals().find("'PlaybackStatus': <'Paused'>"), std::string::npos)
      << controls.signals();
  controls.player("SetPosition", "'" + controls.track() + "' 2000000");
  EXPECT_TRUE(waitUntil([&] { return std::abs(controls.position() - 2) < 0.3; }, 30))
      << controls.position();
  // A position past the track's end is refused; by now the engine's own reports say where it is.
  controls.player("SetPosition", "'" + controls.track() + "' 90000000");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_LT(std::abs(controls.position() - 2), 0.3) << controls.position();

  // A WebM opened from there plays in the web view, and pauses and plays again from there too.
  controls.player("OpenUri", "'" + fileURL(clip) + "'");
  ASSERT_TRUE(waitUntil(
      [&] {
        return controls.property("Metadata").find("clip.webm") != std::string::npos &&
               controls.status() == "(<'Playing'>,)\n";
      },
      30))
      << controls.property("Metadata") << player.log();
  controls.player("PlayPause");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Paused'>,)\n"; }, 30))
      << controls.status();
  // The page's last report of where it paused may come a moment after it says so; from then on
  // the position stays.
  double webPaused = -1;
  EXPECT_TRUE(waitUntil(
      [&] {
        const double before = controls.position();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        webPaused = controls.position();
        return before >= 0 && std::abs(webPaused - before) < 0.05;
      },
      30))
      << webPaused;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_NEAR(controls.position(), webPaused, 0.1);
  controls.player("PlayPause");
  EXPECT_TRUE(waitUntil([&] { return controls.position() > webPaused + 1; }, 30))
      << controls.position() << " after " << webPaused;
  screenshot("mpris-webm.png");

  // playerctl, as a desktop's media widget would: the loop status is the playlist's repeat mode,
  // set and read; Pause pauses.
  const std::string playerctl =
      "DBUS_SESSION_BUS_ADDRESS='" + home.busAddress() + "' playerctl -p OrvelPlayer ";
  commandOutput(playerctl + "loop Playlist");
  EXPECT_TRUE(waitUntil(
      [&] {
        const auto stored = home.stored(std::string(PlaylistLibrary::kRepeatKey));
        return stored && stored->get<std::string>() && *stored->get<std::string>() == "all";
      },
      30));
  EXPECT_EQ(commandOutput(playerctl + "loop"), "Playlist\n");
  commandOutput(playerctl + "pause");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Paused'>,)\n"; }, 30))
      << controls.status();

  controls.call("org.mpris.MediaPlayer2.Quit", "");
  EXPECT_EQ(player.wait(30), 0) << player.log();
  EXPECT_GE(home.position("webm:" + fileURL(clip)).value_or(0), 1);
}

// The playback speed on either engine: set to 2× from the playback options, the position moves on
// twice as fast as the clock; the desktop's media controls read and set it as their rate.
class PlayerEndToEndSpeed : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndSpeed, TwiceTheSpeedFromTheOptionsAndBackFromTheMediaControls) {
  Home home;
  const std::string clip = makeClip(home, "clip." + GetParam(), 120);
  Player player(home, {clip}, "player.log");
  MediaControls controls(home);
  ASSERT_TRUE(controls.find()) << player.log();
  ASSERT_TRUE(waitUntil([&] { return controls.position() > 1; }, 60)) << player.log();
  ASSERT_TRUE(clickPlayerControl(home, "Playback options")) << home.controlNames();
  const auto slider = home.control("Playback speed");
  ASSERT_TRUE(slider) << home.controlNames();
  screenshot("options-speed-" + GetParam() + ".png");
  // The slider's notches are the steps 0.25 to 4; the eighth of ten is 2×.
  clickAt(slider->x + 8 + (slider->width - 16) * 7 / 9, slider->centreY());
  EXPECT_TRUE(home.control("Speed 2×", 30)) << home.controlNames();
  pressKeys({"Escape"});
  EXPECT_EQ(controls.property("Rate"), "(<2.0>,)\n");
  // The position against the clock, over a few seconds of playing.
  auto rate = [&] {
    const auto from = std::chrono::steady_clock::now();
    const double start = controls.position();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
    return (controls.position() - start) / seconds;
  };
  const double fast = rate();
  EXPECT_GT(fast, 1.6) << player.log();
  EXPECT_LT(fast, 2.4) << player.log();

  controls.call("org.freedesktop.DBus.Properties.Set",
                "org.mpris.MediaPlayer2.Player Rate '<1.0>'");
  EXPECT_TRUE(waitUntil([&] { return controls.property("Rate") == "(<1.0>,)\n"; }, 30));
  EXPECT_EQ(controls.property("MaximumRate"), "(<4.0>,)\n");
  const double normal = rate();
  EXPECT_GT(normal, 0.7) << player.log();
  EXPECT_LT(normal, 1.3) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerEndToEndSpeed, ::testing::Values("mkv", "webm"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

// Save Frame on either engine: Ctrl+S in the player window writes the picture to the Pictures
// folder as a PNG at the video's own size (not the window's), in the clip's colour, and the status
// line says where.
class PlayerEndToEndSaveFrame : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndSaveFrame, CtrlSSavesThePictureAtTheVideosSizeInThePicturesFolder) {
  Home home;
  const std::string clip =
      makeClip(home, "frame." + GetParam(), 60, 440, "color=c=0x2060C0:size=320x180:rate=25");
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, GetParam() + ":" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+s"});
  const std::filesystem::path pictures = home.folder().file("Pictures");
  std::filesystem::path saved;
  ASSERT_TRUE(waitUntil(
      [&] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(pictures, error)) {
          if (entry.path().extension() == ".png") {
            saved = entry.path();
            return true;
          }
        }
        return false;
      },
      30))
      << player.log();
  EXPECT_TRUE(saved.filename().string().starts_with("frame 0-00-")) << saved;
  EXPECT_TRUE(home.control("Frame saved to ~/Pictures/" + saved.filename().string()))
      << home.controlNames();
  EXPECT_EQ(commandOutput("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" +
                          saved.string() + "'"),
            "320,180\n");
  // The whole picture's mean colour, one pixel's worth of bytes.
  const std::string mean = commandOutput("ffmpeg -v error -i '" + saved.string() +
                                         "' -vf scale=1:1:flags=area -f rawvideo -pix_fmt rgb24 -");
  ASSERT_EQ(mean.size(), 3u);
  EXPECT_NEAR(static_cast<unsigned char>(mean[0]), 0x20, 24);
  EXPECT_NEAR(static_cast<unsigned char>(mean[1]), 0x60, 24);
  EXPECT_NEAR(static_cast<unsigned char>(mean[2]), 0xC0, 24);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerEndToEndSaveFrame, ::testing::Values("mkv", "webm"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

// A video watched to its end plays again: Play restarts it from the beginning, and opened again
// it starts over instead of standing at its end; on either engine.
class PlayerEndToEndFinished : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndFinished, PlayAndOpeningAgainStartAFinishedVideoOver) {
  Home home;
  const std::string clip = makeClip(home, "clip." + GetParam(), 30);
  const std::string mediaID = GetParam() + ":" + fileURL(clip);
  MediaControls controls(home);
  auto playsFromTheStart = [&] {
    // Playing, and where it plays is the beginning, not the end it stood at.
    return waitUntil(
        [&] {
          const double at = controls.position();
          return controls.status() == "(<'Playing'>,)\n" && at >= 0 && at < 5;
        },
        30);
  };
  // Taken close to its end, it plays the rest and stops there.
  auto playsToTheEnd = [&] {
    // Once it plays: an engine still opening the file may not take a seek yet.
    waitUntil([&] { return controls.track().size() > 1 && controls.position() > 0.5; }, 30);
    controls.player("SetPosition", "'" + controls.track() + "' 27000000");
    return waitUntil(
        [&] {
          return controls.status() == "(<'Stopped'>,)\n" &&
                 home.position(mediaID).value_or(0) >= 29;
        },
        60);
  };
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(controls.find()) << player.log();
  ASSERT_TRUE(playsFromTheStart()) << controls.status() << player.log();
  ASSERT_TRUE(playsToTheEnd()) << controls.status() << player.log();
  controls.player("Play");
  EXPECT_TRUE(playsFromTheStart()) << controls.status() << controls.position() << player.log();
  ASSERT_TRUE(playsToTheEnd()) << controls.status() << player.log();
  EXPECT_EQ(controls.player("OpenUri", "'" + fileURL(clip) + "'"), "()\n");
  EXPECT_TRUE(playsFromTheStart()) << controls.status() << controls.position() << player.log();
  ASSERT_TRUE(playsToTheEnd()) << controls.status() << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
  // Started again with it from the command line.
  Player again(home, {clip}, "again.log");
  ASSERT_TRUE(controls.find()) << again.log();
  EXPECT_TRUE(playsFromTheStart()) << controls.status() << controls.position() << again.log();
  ASSERT_TRUE(playsToTheEnd()) << controls.status() << again.log();
  EXPECT_EQ(again.terminate(), 0) << again.log();
  // A store that never learnt the length (written before lengths were kept, or copied from
  // another machine): the length the engine reads decides.
  SqliteDefaults::open(home.store())->remove(PlaylistLibrary::kMediaDurationsKey);
  ASSERT_GE(home.position(mediaID).value_or(0), 29);
  Player third(home, {clip}, "third.log");
  ASSERT_TRUE(controls.find()) << third.log();
  EXPECT_TRUE(playsFromTheStart()) << controls.status() << controls.position() << third.log();
  EXPECT_EQ(third.terminate(), 0) << third.log();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerEndToEndFinished, ::testing::Values("mkv", "webm"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

// What the desktop's media controls expect of a player: Rate 0 pauses, a seek past the end with
// nothing next stops, and a file that is not there is refused with an error instead of an alert.
TEST(PlayerEndToEndShell, MprisRateZeroPausesASeekPastTheEndStopsAndAMissingFileIsRefused) {
  Home home;
  const std::string film = makeClip(home, "film.mkv", 60);
  Player player(home, {film}, "player.log");
  MediaControls controls(home);
  ASSERT_TRUE(controls.find()) << player.log();
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(film), 1)) << player.log();
  ASSERT_EQ(controls.call("org.freedesktop.DBus.Properties.Set",
                          "org.mpris.MediaPlayer2.Player Rate '<0.0>'"),
            "()\n");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Paused'>,)\n"; }, 30))
      << controls.status();
  controls.player("Play");
  ASSERT_TRUE(waitUntil([&] { return controls.status() == "(<'Playing'>,)\n"; }, 30))
      << controls.status();
  controls.player("Seek", "120000000");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Stopped'>,)\n"; }, 30))
      << controls.status();

  const std::string missing = fileURL(home.folder().file("gone.mkv"));
  const std::string answer = controls.player("OpenUri", "'" + missing + "'");
  EXPECT_NE(answer.find("org.freedesktop.DBus.Error.FileNotFound"), std::string::npos) << answer;
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(commandOutput("xdotool search --onlyvisible --name '^Unable to read video$'"), "")
      << player.log();
  EXPECT_FALSE(player.logContains("Unable to read video")) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The feedback window, opened from the status menu once the player shows.
std::optional<unsigned long> openFeedback(const Home& home, const Player& player,
                                          TrayReader& tray) {
  if (!tray.find() || !playerWindow(home)) {
    ADD_FAILURE() << player.log();
    return std::nullopt;
  }
  tray.click(tray.entry("Send Feedback…"));
  return waitForWindow("Send Feedback");
}

// "Send Feedback…" in the status menu opens the feedback window, in both of its kinds; the key
// field shows no key.
TEST(PlayerEndToEndShell, TheFeedbackWindowOpensFromTheStatusMenuInBothKinds) {
  Home home;
  SqliteDefaults::open(home.store())->set("settings.resendAPIKey", PropertyList("re_secret"));
  Player player(home, {}, "player.log");
  TrayReader tray(home);
  const auto window = openFeedback(home, player, tray);
  ASSERT_TRUE(window) << player.log();
  const WindowGeometry feedback = windowGeometry(*window);
  ASSERT_TRUE(clickControl(home, "Message", 1, 1, feedback)) << home.controlNames();
  typeText("The playlist is lovely.");
  screenshot("feedback-written.png");
  ASSERT_TRUE(clickControl(home, "Survey", 1, 1, feedback)) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Set watch later priority: 3 stars", 1, 1, feedback))
      << home.controlNames();
  screenshot("feedback-survey.png");
  // Closed and opened again, the form starts afresh, with a written message.
  ASSERT_TRUE(run({"wmctrl", "-c", "Send Feedback"}));
  ASSERT_TRUE(waitUntil([&] { return !windowShown("Send Feedback"); }, 30));
  tray.click(tray.entry("Send Feedback…"));
  const auto again = waitForWindow("Send Feedback");
  ASSERT_TRUE(again) << player.log();
  EXPECT_TRUE(home.control("Subject", 30, windowGeometry(*again))) << home.controlNames();
  EXPECT_FALSE(home.control("Set watch later priority: 3 stars", 0)) << home.controlNames();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Ctrl+Return in the message sends it, instead of starting a new line; the copy kept on disk is
// the user's alone.
TEST(PlayerEndToEndShell, CtrlReturnInTheMessageSendsTheFeedback) {
  Home home;
  LocalWebServer resend;
  resend.route("/emails",
               {.contentType = "application/json", .body = R"({"id":"1"})", .extraHeaders = ""});
  home.addEnvironment("ORVEL_FEEDBACK_API=" + resend.url(""));
  SqliteDefaults::open(home.store())->set("settings.resendAPIKey", PropertyList("re_secret"));
  Player player(home, {}, "player.log");
  TrayReader tray(home);
  const auto window = openFeedback(home, player, tray);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(clickControl(home, "Message", 1, 1, windowGeometry(*window))) << home.controlNames();
  typeText("Hello");
  pressKeys({"ctrl+Return"});
  EXPECT_TRUE(home.control("Feedback sent. Thank you!")) << home.controlNames() << player.log();
  EXPECT_TRUE(resend.wasAskedFor("/emails"));
  const std::string copy = home.folder().file("data/Wendle/feedback.log");
  EXPECT_NE(readFile(copy).find("\nHello\n---\n"), std::string::npos) << readFile(copy);
  struct stat status {};
  ASSERT_EQ(::stat(copy.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The watch history window shows the YouTube videos of the history, with their stars and a
// mark for a note, and leaves the other records out.
TEST(PlayerEndToEndShell, TheWatchHistoryWindowListsTheYouTubeVideos) {
  Home home;
  std::vector<RecentVideoItem> history;
  const char* titles[] = {"A lecture on colour", "Rainy walk through Kyoto", "Making bread at home",
                          "How tides work", "Live session, full set"};
  const char* ids[] = {"aaaaaaaaaaa", "bbbbbbbbbbb", "ccccccccccc", "ddddddddddd", "eeeeeeeeeee"};
  for (int index = 0; index < 5; ++index) {
    RecentVideoItem item;
    item.videoID = ids[index];
    item.title = titles[index];
    item.lastPosition = 61.0 * (index + 1);
    item.lastPlayedAt = Date{800000000.0 - index * 3600};
    item.sourceURL = "https://www.youtube.com/watch?v=" + std::string(ids[index]);
    history.push_back(item);
  }
  history[1].watchLaterStars = 4;
  history[2].watchNote = "Try with less salt";
  // Where "How tides work" stopped, inside the clip that stands in for it.
  history[3].lastPosition = 5;
  standInForYouTube(home, R"({"videos": {"ddddddddddd": ")" +
                              dataURL(makeClip(home, "tides.webm", 12)) + R"("}})");
  RecentVideoItem file;
  file.videoID = "mkv:file:///home/film.mkv";
  file.title = "A film";
  file.sourceURL = "file:///home/film.mkv";
  history.push_back(file);
  auto encoded = RecentVideoItem::encodeList(history);
  ASSERT_TRUE(encoded);
  SqliteDefaults::open(home.store())
      ->set("settings.watchHistoryVideos", PropertyList(PropertyList::Data(*encoded)));
  Player player(home, {}, "player.log");
  const auto playerShown = playerWindow(home);
  ASSERT_TRUE(playerShown) << player.log();
  ASSERT_TRUE(focusWindow(*playerShown));
  pressKeys({"ctrl+shift+h"});
  const auto window = waitForWindow("Watch History");
  ASSERT_TRUE(window) << player.log();
  // Whole on the screen, and again after the user drags its right edge past the screen's, with
  // the player's margin of 12 (openbox itself only pushes it back to the edge).
  EXPECT_TRUE(waitUntil([&] { return isOnScreen(windowGeometry(*window)); }, 10))
      << windowGeometry(*window).x << "," << windowGeometry(*window).y;
  const auto clearOfTheEdges = [](const WindowGeometry& box) {
    return box.x >= 10 && box.y >= 10 && box.x + box.width <= 1270 && box.y + box.height <= 790;
  };
  // Once the keeping on screen that follows its showing is over.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  ASSERT_TRUE(run({"xdotool", "windowmove", std::to_string(*window), "600", "100"}));
  ASSERT_TRUE(waitUntil([&] { return windowGeometry(*window).x >= 500; }, 30));
  ASSERT_TRUE(run({"xdotool", "windowsize", std::to_string(*window), "1000", "560"}));
  EXPECT_TRUE(waitUntil(
      [&] {
        const WindowGeometry now = windowGeometry(*window);
        return now.width >= 900 && clearOfTheEdges(now);
      },
      30))
      << windowGeometry(*window).x << "," << windowGeometry(*window).y << " "
      << windowGeometry(*window).width;
  const WindowGeometry list = windowGeometry(*window);
  for (const char* title : titles) {
    EXPECT_TRUE(home.control(title, 30, list)) << title << "\n" << home.controlNames();
  }
  EXPECT_FALSE(home.control("A film", 0, list)) << home.controlNames();
  screenshot("watch-history.png");

  auto stored = [&](const std::string& videoID) {
    for (const RecentVideoItem& item : home.history()) {
      if (item.videoID == videoID) {
        return item;
      }
    }
    return RecentVideoItem{};
  };
  // The third star of the first row.
  ASSERT_TRUE(clickControl(home, "Set watch later priority: 3 stars", 1, 1, list))
      << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return stored("aaaaaaaaaaa").watchLaterStars == 3; }, 30));
  // Its note: every keystroke is stored.
  ASSERT_TRUE(clickControl(home, "Notes", 1, 1, list)) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Note", 1, 1, list)) << home.controlNames();
  typeText("Watch again");
  EXPECT_TRUE(waitUntil([&] { return stored("aaaaaaaaaaa").watchNote == "Watch again"; }, 30))
      << stored("aaaaaaaaaaa").watchNote;
  screenshot("watch-history-note.png");
  // Closed and opened again, no note editor is left open.
  ASSERT_TRUE(run({"wmctrl", "-c", "Watch History"}));
  ASSERT_TRUE(waitUntil([&] { return !windowShown("Watch History"); }, 30));
  ASSERT_TRUE(focusWindow(*playerShown));
  pressKeys({"ctrl+shift+h"});
  const auto again = waitForWindow("Watch History");
  ASSERT_TRUE(again) << player.log();
  const WindowGeometry shown = windowGeometry(*again);
  EXPECT_TRUE(home.control(titles[0], 30, shown)) << home.controlNames();
  EXPECT_FALSE(home.control("Note", 0)) << home.controlNames();

  // The first row's remove button takes the video out of the history for good.
  ASSERT_TRUE(clickControl(home, "Remove from watch history", 1, 1, shown)) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return stored("aaaaaaaaaaa").videoID.empty(); }, 30));
  EXPECT_TRUE(waitUntil([&] { return !home.control(titles[0], 0, shown); }, 30))
      << home.controlNames();
  // Choosing a row plays its video where it stopped and brings the player forward.
  ASSERT_TRUE(clickControl(home, "Open How tides work", 1, 1, shown)) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return x11::activeWindow() == *playerShown; }, 30))
      << x11::activeWindow() << " is active, not the player " << *playerShown;
  ASSERT_TRUE(waitUntil([&] { return home.position("ddddddddddd").has_value(); }, 60))
      << player.log();
  EXPECT_GE(*home.position("ddddddddddd"), 4.5) << "it started over instead of at 0:05";
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// A home with something in every view: clips in the media folder (one in a folder "Trip") and a
// YouTube video in the watch history.
void fillViews(const Home& home) {
  const std::string media = home.folder().file("Videos/Wendle Media");
  std::filesystem::create_directories(media + "/Trip");
  const std::string clip = makeClip(home, "clip.mp4", 2);
  for (int index = 1; index <= 3; ++index) {
    std::filesystem::copy_file(clip, media + "/Clip " + std::to_string(index) + ".mp4");
  }
  std::filesystem::copy_file(clip, media + "/Trip/Clip 4.mp4");
  RecentVideoItem seen;
  seen.videoID = "aaaaaaaaaaa";
  seen.title = "A lecture on colour";
  seen.lastPosition = 61;
  seen.lastPlayedAt = Date{800000000.0};
  seen.sourceURL = "https://www.youtube.com/watch?v=aaaaaaaaaaa";
  const auto encoded = RecentVideoItem::encodeList({seen});
  ASSERT_TRUE(encoded);
  SqliteDefaults::open(home.store())
      ->set("settings.watchHistoryVideos", PropertyList(PropertyList::Data(*encoded)));
}

// Whether the control shows light text or symbols: its brightest pixel. The player's chrome is
// dark, so dark text on it would be unreadable.
bool showsLightText(const Control& control) {
  int brightest = 0;
  for (int y = control.y; y < control.y + control.height; y += 2) {
    for (int x = control.x; x < control.x + control.width; x += 2) {
      if (const auto pixel = x11::readScreenPixel(x, y)) {
        brightest =
            std::max(brightest, ((*pixel)[0] * 299 + (*pixel)[1] * 587 + (*pixel)[2] * 114) / 1000);
      }
    }
  }
  return brightest >= 170;
}

// Under the light Adwaita, its dark variant and HighContrast, the toolbar, the playlist, the
// watch history and the feedback window show their texts light on their dark panels.
class PlayerEndToEndThemes : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndThemes, EveryViewIsReadable) {
  Home home;
  home.addEnvironment("GTK_THEME=" + GetParam());
  std::string name = GetParam();
  std::replace(name.begin(), name.end(), ':', '-');
  fillViews(home);
  const std::string film = makeClip(home, "film.mkv", 60);
  Player player(home, {film}, "player.log");
  TrayReader tray(home);
  ASSERT_TRUE(tray.find()) << player.log();
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(film), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  auto readable = [&](const std::string& control, std::optional<WindowGeometry> within) {
    const auto found = home.control(control, 30, within);
    return found && waitUntil([&] { return showsLightText(*found); }, 10);
  };

  hoverOver(windowGeometry(*window));
  EXPECT_TRUE(readable("Playback options", std::nullopt)) << home.controlNames();
  screenshot("theme-" + name + "-toolbar.png");

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto panel = waitForWindow("Playlist");
  ASSERT_TRUE(panel) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.control("Clip 3", 0).has_value(); }, 30))
      << home.controlNames();
  for (const char* control : {"Shuffle", "Clear…", "Done", "Clip 1", "All Videos"}) {
    EXPECT_TRUE(readable(control, windowGeometry(*panel))) << control;
  }
  screenshot("theme-" + name + "-playlist.png");
  ASSERT_TRUE(clickControl(home, "Done")) << home.controlNames();
  ASSERT_TRUE(waitUntil([&] { return !windowShown("Playlist"); }, 30));

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+h"});
  const auto history = waitForWindow("Watch History");
  ASSERT_TRUE(history) << player.log();
  for (const char* control : {"A lecture on colour", "Notes"}) {
    EXPECT_TRUE(readable(control, windowGeometry(*history))) << control;
  }
  screenshot("theme-" + name + "-history.png");
  ASSERT_TRUE(run({"wmctrl", "-c", "Watch History"}));

  tray.click(tray.entry("Send Feedback…"));
  const auto feedback = waitForWindow("Send Feedback");
  ASSERT_TRUE(feedback) << player.log();
  for (const char* control : {"Subject", "Resend API Key"}) {
    EXPECT_TRUE(readable(control, windowGeometry(*feedback))) << control;
  }
  screenshot("theme-" + name + "-feedback.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(Themes, PlayerEndToEndThemes,
                         ::testing::Values("Adwaita", "Adwaita:dark", "HighContrast"),
                         [](const ::testing::TestParamInfo<std::string>& theme) {
                           std::string name = theme.param;
                           std::replace(name.begin(), name.end(), ':', '_');
                           return name;
                         });

// One object of the tree screen readers see: its role and name, as the walker prints them.
struct Accessible {
  std::string role;
  std::string name;
  std::string states;
};

// The player's accessibility tree, read over the accessibility bus of this home's session.
std::vector<Accessible> accessibilityTree(const Home& home) {
  const std::string printed =
      commandOutput("DBUS_SESSION_BUS_ADDRESS='" + home.busAddress() + "' '" +
                    ORVEL_E2E_ACCESSIBILITY_WALK + "' OrvelPlayer 60 2>&1");
  std::vector<Accessible> tree;
  std::istringstream lines(printed);
  std::string line;
  while (std::getline(lines, line)) {
    const auto start = line.find_first_not_of(' ');
    const auto quote = line.find(" \"", start);
    if (start == std::string::npos || quote == std::string::npos) {
      continue;
    }
    const auto end = line.find("\" [", quote + 2);
    const auto statesEnd = end == std::string::npos ? end : line.find(']', end);
    tree.push_back(
        {line.substr(start, quote - start),
         end == std::string::npos ? "" : line.substr(quote + 2, end - quote - 2),
         statesEnd == std::string::npos ? "" : line.substr(end + 3, statesEnd - end - 3)});
  }
  return tree;
}

// The controls a user operates that have no name of their own: none, or the toolkit's class.
std::string unnamedControls(const std::vector<Accessible>& tree) {
  static const std::set<std::string> kControls{
      "push button",     "toggle button",   "check box", "radio button", "slider",
      "entry",           "password text",   "list item", "table cell",   "menu item",
      "check menu item", "radio menu item", "combo box", "spin button",  "switch"};
  std::string found;
  for (const Accessible& object : tree) {
    if (kControls.contains(object.role) &&
        (object.name.empty() || object.name.starts_with("gtkmm__") ||
         object.name.starts_with("Gtk"))) {
      found += object.role + " \"" + object.name + "\"\n";
    }
  }
  return found;
}

// Whether the accessibility bus the test started gives its address, within 30 s.
bool accessibilityBusAnswers(const Home& home) {
  return waitUntil(
      [&] {
        return home.busCall("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress", "")
                   .find("unix:") != std::string::npos;
      },
      30);
}

// Every control of the player window with its bars and popovers, of the playlist, of the watch
// history and of the feedback window has a name for screen readers, and what is not on screen
// is not read out.
TEST(PlayerEndToEndAccessibility, EveryControlOfEveryWindowHasAName) {
  Home home;
  home.addEnvironment("GTK_A11Y=atspi");
  Player bus(home, Player::Program("/usr/libexec/at-spi-bus-launcher", "--launch-immediately"),
             "accessibility-bus.log");
  ASSERT_TRUE(accessibilityBusAnswers(home)) << bus.log();
  fillViews(home);
  const std::string film = makeClip(home, "film.mkv", 60);
  Player player(home, {film}, "player.log");
  TrayReader tray(home);
  ASSERT_TRUE(tray.find()) << player.log();
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(film), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();

  for (const char* popover : {"Playback options", "Equalizer"}) {
    ASSERT_TRUE(clickPlayerControl(home, popover)) << home.controlNames();
    const auto tree = accessibilityTree(home);
    ASSERT_GT(tree.size(), 20u) << player.log();
    EXPECT_EQ(unnamedControls(tree), "") << popover;
    for (const Accessible& object : tree) {
      EXPECT_NE(object.name, "Drop Video or URL to Play") << "the drop prompt is not shown";
      // A switch says it is on: the player starts kept on top.
      if (object.role == "push button" && object.name == "Always on top") {
        EXPECT_NE(object.states.find("pressed"), std::string::npos) << object.states;
      }
    }
    pressKeys({"Escape"});
  }

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  ASSERT_TRUE(waitForWindow("Playlist")) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.control("Clip 1", 0).has_value(); }, 30));
  EXPECT_EQ(unnamedControls(accessibilityTree(home)), "") << "the playlist";
  ASSERT_TRUE(clickControl(home, "Done")) << home.controlNames();
  ASSERT_TRUE(waitUntil([&] { return !windowShown("Playlist"); }, 30));

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+h"});
  ASSERT_TRUE(waitForWindow("Watch History")) << player.log();
  // The menu is laid out anew, with new ids, when a recent video's picture arrives: a click
  // that came just then went to an id that is gone, so the entry is looked up and clicked again.
  bool opened = false;
  for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
    tray.click(tray.entry("Send Feedback…"));
    opened = waitForWindow("Send Feedback", 15).has_value();
  }
  ASSERT_TRUE(opened) << player.log();
  const auto tree = accessibilityTree(home);
  EXPECT_EQ(unnamedControls(tree), "") << "the watch history and feedback windows";
  for (const Accessible& object : tree) {
    EXPECT_NE(object.name, "No YouTube watch history yet") << "the list shows a row";
  }
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Started in French, the player reads the catalogue of its build, and screen readers hear the
// controls by their French names.
TEST(PlayerEndToEndAccessibility, InFrenchTheControlsHaveTheirFrenchNames) {
  Home home;
  const std::string locales = home.folder().file("locales");
  std::filesystem::create_directories(locales);
  const std::string command =
      "localedef -i fr_FR -f UTF-8 '" + locales + "/fr_FR.UTF-8' >/dev/null 2>&1";
  if (std::system(command.c_str()) == -1 || !std::filesystem::exists(locales + "/fr_FR.UTF-8")) {
    GTEST_SKIP() << "localedef could not make a French locale";
  }
  home.addEnvironment("GTK_A11Y=atspi");
  home.addEnvironment("LOCPATH=" + locales);
  home.addEnvironment("LANG=fr_FR.UTF-8");
  home.addEnvironment("LC_ALL=fr_FR.UTF-8");
  home.addEnvironment("LANGUAGE=fr");
  Player bus(home, Player::Program("/usr/libexec/at-spi-bus-launcher", "--launch-immediately"),
             "accessibility-bus.log");
  ASSERT_TRUE(accessibilityBusAnswers(home)) << bus.log();
  Player player(home, {}, "player.log");
  ASSERT_TRUE(playerWindow(home)) << player.log();
  std::set<std::string> names;
  for (const Accessible& object : accessibilityTree(home)) {
    names.insert(object.name);
  }
  EXPECT_TRUE(names.contains("Liste de lecture")) << player.log();
  EXPECT_TRUE(names.contains("Options de lecture"));
  EXPECT_FALSE(names.contains("Playback options"));
  ASSERT_TRUE(clickPlayerControl(home, "Options de lecture")) << home.controlNames();
  screenshot("french-options.png");
  pressKeys({"Escape"});
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

}  // namespace
}  // namespace orvel::e2e
