// SPDX-License-Identifier: GPL-3.0-or-later

// The player window among other windows: above them, see-through to their clicks in hover mode,
// a drop target for another program's files, and 16:9 when resized with the lock on.

#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/SqliteDefaults.h"
#include "e2e/EndToEnd.h"
#include "e2e/XDisplay.h"

namespace orvel::e2e {
namespace {

// A window under the player, as large as the screen, that writes every button press it gets to a
// file.
class ClickRecorder {
 public:
  explicit ClickRecorder(const Home& home) : log_(home.folder().file("clicks.log")) {
    const std::string command =
        "xev -geometry 1280x800+0+0 -event button > '" + log_ + "' 2>&1 & echo $!";
    pid_ = std::atoi(commandOutput(command).c_str());
  }
  ~ClickRecorder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
    }
  }
  ClickRecorder(const ClickRecorder&) = delete;
  ClickRecorder& operator=(const ClickRecorder&) = delete;

  // Where on screen each press it got was, in order.
  std::vector<std::pair<int, int>> presses() const {
    std::vector<std::pair<int, int>> found;
    const std::string text = readFile(log_);
    for (auto at = text.find("ButtonPress"); at != std::string::npos;
         at = text.find("ButtonPress", at + 1)) {
      const auto root = text.find("root:(", at);
      if (root == std::string::npos) {
        break;
      }
      int x = 0;
      int y = 0;
      if (std::sscanf(text.c_str() + root, "root:(%d,%d)", &x, &y) == 2) {
        found.emplace_back(x, y);
      }
    }
    return found;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
};

// Clicks once the player, which looks at the pointer every 0.15 s, has taken the pointer or let it
// through, as `overPlayer` says it should: a busy player may take a while.
void clickWhenDecided(int x, int y, unsigned long player, bool overPlayer) {
  pointerTo(x, y);
  EXPECT_TRUE(waitUntil([&] { return (x11::windowUnderPointer() == player) == overPlayer; }, 20))
      << "at " << x << ", " << y << ", over window " << x11::windowUnderPointer() << ", not "
      << player;
  clickAt(x, y);
}

// The screen's colours at the points of a grid over it, once they have settled: a compositing
// window manager may still be drawing a window it has just shown.
using ScreenGrid = std::map<std::pair<int, int>, std::optional<std::array<int, 3>>>;
ScreenGrid settledScreenGrid() {
  auto take = [] {
    ScreenGrid grid;
    for (int y = 5; y < 800; y += 45) {
      for (int x = 5; x < 1280; x += 45) {
        grid[{x, y}] = x11::readScreenPixel(x, y);
      }
    }
    return grid;
  };
  ScreenGrid grid = take();
  waitUntil(
      [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return std::exchange(grid, take()) == grid;
      },
      30);
  return grid;
}

// The first point of the box that does not show what it showed before, as text; empty when all
// do.
std::string changedPoint(const ScreenGrid& before, const Box& box) {
  for (const auto& [point, colour] : before) {
    const auto now = x11::readScreenPixel(point.first, point.second);
    if (box.contains(point.first, point.second) && now != colour) {
      auto text = [](const std::optional<std::array<int, 3>>& pixel) {
        return pixel ? std::to_string((*pixel)[0]) + "," + std::to_string((*pixel)[1]) + "," +
                           std::to_string((*pixel)[2])
                     : std::string("none");
      };
      return std::to_string(point.first) + "," + std::to_string(point.second) + " was " +
             text(colour) + ", is " + text(now);
    }
  }
  return "";
}

// Under openbox, which does not composite, and under mutter, which does (GNOME's): over the
// picture nothing of the player is drawn, neither the picture nor its bars, and clicks reach the
// window below; the top strip stays the player's.
class PlayerEndToEndHover : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndHover, OverThePictureNothingOfThePlayerShowsAndClicksReachTheWindowBelow) {
  Home home;
  std::unique_ptr<Player> manager;
  if (GetParam() != "openbox") {
    manager = replaceWindowManager(home, GetParam());
    if (!manager) {
      GTEST_SKIP() << GetParam() << " is not installed or did not start";
    }
  }
  SqliteDefaults::open(home.store())->set("settings.hoverTransparencyEnabled", PropertyList(true));
  const std::string clip = makeClip(home, "clip.webm", 30);
  ClickRecorder below(home);
  ASSERT_TRUE(waitForWindow("Event Tester"));
  const ScreenGrid before = settledScreenGrid();
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  const WindowGeometry frame = windowGeometry(*window);
  const int middle = frame.centreX();
  const std::pair<int, int> content{middle, frame.centreY()};
  const std::pair<int, int> outside{std::min(frame.x + frame.width + 40, 1270),
                                    std::min(frame.y + frame.height + 40, 790)};
  clickWhenDecided(middle, frame.y + 10, *window, true);  // the top strip stays the player's
  clickWhenDecided(content.first, content.second, *window, false);  // the content has vanished
  // Below the strip (and the shadow a compositor may draw under it) the window below shows, the
  // place of the title and the toolbar too.
  const Box picture{frame.x, frame.y + 60, frame.width, frame.height - 60};
  EXPECT_TRUE(waitUntil([&] { return changedPoint(before, picture).empty(); }, 20))
      << "the player still draws over the window below: " << changedPoint(before, picture);
  screenshot("hover-mode-" + GetParam() + ".png");
  clickWhenDecided(outside.first, outside.second, *window, false);  // outside the player
  // The window below gets its presses in order: once the last is there, all are.
  EXPECT_TRUE(waitUntil([&] { return below.presses().size() >= 2; }, 20));
  EXPECT_EQ(below.presses(), (std::vector<std::pair<int, int>>{content, outside})) << player.log();
  // Brought forward by the desktop's media controls, with a time a window manager that prevents
  // focus stealing accepts.
  EXPECT_EQ(home.busCall("org.mpris.MediaPlayer2.OrvelPlayer", "/org/mpris/MediaPlayer2",
                         "org.mpris.MediaPlayer2.Raise", ""),
            "()\n");
  EXPECT_TRUE(waitUntil([&] { return x11::activeWindow() == *window; }, 30))
      << x11::activeWindow() << " is active, not the player " << *window;
  EXPECT_EQ(player.terminate(), 0) << player.log();
  if (manager) {
    EXPECT_FALSE(manager->logContains("timestamp of 0")) << manager->log();
  }
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, PlayerEndToEndHover,
                         ::testing::Values("openbox", "mutter"),
                         [](const ::testing::TestParamInfo<std::string>& manager) {
                           return manager.param;
                         });

// How bright the screen is at a point, 0 to 255.
int brightness(int x, int y) {
  const auto pixel = x11::readScreenPixel(x, y);
  return pixel ? ((*pixel)[0] + (*pixel)[1] + (*pixel)[2]) / 3 : -1;
}

// Ctrl+P dims the picture to a quarter and back. A source that cannot be read stops playback
// with an alert that is read over the solid picture; once the alert closes, the dimmed look the
// user chose is back.
TEST(PlayerEndToEndWindow, CtrlPDimsThePictureAndAFailuresAlertShowsItSolidUntilItCloses) {
  Home home;
  const std::string clip =
      makeClip(home, "white.webm", 60, 440, "color=c=white:size=320x180:rate=25");
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  const WindowGeometry frame = windowGeometry(*window);
  // Left of the middle: clear of the bars, and of an alert centred over the window.
  const int x = frame.x + 40;
  const int y = frame.centreY();
  auto brightBetween = [&](int low, int high) {
    return waitUntil(
        [&] {
          const int level = brightness(x, y);
          return level >= low && level <= high;
        },
        30);
  };
  ASSERT_TRUE(brightBetween(200, 255)) << brightness(x, y);
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+p"});
  EXPECT_TRUE(home.control("Opacity 25%", 30, frame)) << home.controlNames();
  EXPECT_TRUE(brightBetween(40, 90)) << brightness(x, y);

  Player later(home, {fileURL(home.folder().file("gone.webm"))}, "later.log");
  EXPECT_EQ(later.wait(30), 0) << later.log();
  const auto alert = waitForWindow("Unable to read video");
  ASSERT_TRUE(alert) << player.log();
  EXPECT_TRUE(brightBetween(200, 255)) << brightness(x, y);
  screenshot("unreadable-over-dimmed.png");
  ASSERT_TRUE(focusWindow(*alert));
  pressKeys({"Escape"});
  ASSERT_TRUE(waitUntil([] { return !windowShown("Unable to read video"); }, 30));
  EXPECT_TRUE(brightBetween(40, 90)) << brightness(x, y);

  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+p"});
  EXPECT_TRUE(home.control("Opacity 100%", 30, frame)) << home.controlNames();
  EXPECT_TRUE(brightBetween(200, 255)) << brightness(x, y);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndWindow, StaysAboveOnEveryWorkspaceAndClosingSavesAndQuits) {
  Home home;
  const std::string clip = makeClip(home, "clip.webm", 30);
  const std::string mediaID = "webm:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, mediaID, 3)) << player.log();
  ASSERT_TRUE(waitUntil(playerIsAbove, 30)) << playerWindowState();
  // Window managers show "every workspace" either as the sticky state or as desktop 0xFFFFFFFF.
  const std::string state = playerWindowState();
  EXPECT_TRUE(state.find("_NET_WM_STATE_STICKY") != std::string::npos ||
              state.find("_NET_WM_DESKTOP(CARDINAL) = 4294967295") != std::string::npos)
      << state;
  // First start: 1024 x 576 in the middle of the 1280 x 800 screen.
  EXPECT_EQ(home.storedFrame(), "{{128, 112}, {1024, 576}}");

  ASSERT_TRUE(run({"wmctrl", "-c", "Orvel player"}));
  EXPECT_EQ(player.wait(30), 0) << player.log();
  EXPECT_GE(home.position(mediaID).value_or(0), 3);
  EXPECT_EQ(home.lastURL(), fileURL(clip));
}

TEST(PlayerEndToEndWindow, AFileDraggedFromAnotherWindowShowsTheDropPromptAndPlays) {
  Home home;
  const std::string clip = makeClip(home, "dropped.webm", 30);
  Player player(home, {}, "player.log");
  const auto shown = playerWindow(home);
  ASSERT_TRUE(shown) << player.log();
  const WindowGeometry target = windowGeometry(*shown);
  // The player shows its prompt while the file is over it, and takes the drop from then on.
  const auto source = dragFileOnto(
      home, clip, target, [&] { return home.control("Drop Video or URL to Play", 1).has_value(); });
  ASSERT_TRUE(source) << home.controlNames();
  screenshot("drop-prompt.png");
  run({"xdotool", "mouseup", "1"});
  EXPECT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log() << source->log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndWindow, AResizeWithTheLockOnEndsAt16By9AndANarrowWindowKeepsItsControls) {
  Home home;
  SqliteDefaults::open(home.store())->set("settings.eightyTransparencyEnabled", PropertyList(true));
  const std::string clip = makeClip(home, "clip.webm", 30);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  WindowGeometry frame = windowGeometry(*window);
  hoverOver(frame);
  ASSERT_TRUE(home.control("Playback options")) << home.controlNames();
  screenshot("eighty-percent.png");
  run({"xdotool", "windowsize", std::to_string(*window), "460", "400"});
  ASSERT_TRUE(waitUntil(
      [&] {
        auto stored = home.storedFrame();
        return stored && stored->find("{460, 259}") != std::string::npos;
      },
      30))
      << home.storedFrame().value_or("none");
  // The narrow toolbar leaves out the volume slider, fullscreen and keep-on-top; every other
  // control still shows whole: none is cut to less than a button's width.
  frame = windowGeometry(*window);
  hoverOver(frame);
  for (const char* name : {"Mute / unmute", "Equalizer", "Previous item", "Next item",
                           "Playback options", "Playlist"}) {
    const auto control = home.control(name);
    ASSERT_TRUE(control) << name << "\n" << home.controlNames();
    EXPECT_GE(control->width, 24) << name << "\n" << home.controlNames();
    EXPECT_GE(control->x, frame.x) << name;
    EXPECT_LE(control->x + control->width, frame.x + frame.width) << name;
  }
  EXPECT_FALSE(home.control("Volume", 0)) << home.controlNames();
  screenshot("toolbar-narrow.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The whole picture shows: the black band along the top lies behind the video, so a clip's top
// rows are on screen in both engines.
class PlayerEndToEndPicture : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEndPicture, TheTopRowsOfTheVideoShow) {
  Home home;
  // Black, with a yellow band along the top: 10 of 180 rows, 32 of the window's 576.
  const std::string clip =
      makeClip(home, "band." + GetParam(), 60, 440,
               "color=c=black:s=320x180:r=25,drawbox=x=0:y=0:w=320:h=10:color=yellow:t=fill");
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, GetParam() + ":" + fileURL(clip), 1)) << player.log();
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  const WindowGeometry frame = windowGeometry(*window);
  // Yellow, though darkened by the title's shade while the bars show.
  for (const int row : {4, 14, 24}) {
    std::optional<std::array<int, 3>> pixel;
    EXPECT_TRUE(waitUntil(
        [&] {
          pixel = x11::readScreenPixel(frame.x + frame.width / 4, frame.y + row);
          return pixel && (*pixel)[0] > 90 && (*pixel)[1] > 90 && (*pixel)[2] < 60;
        },
        30))
        << "row " << row << ": "
        << (pixel ? std::to_string((*pixel)[0]) + " " + std::to_string((*pixel)[1]) + " " +
                        std::to_string((*pixel)[2])
                  : "none");
  }
  screenshot("top-band-" + GetParam() + ".png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(Engines, PlayerEndToEndPicture, ::testing::Values("mkv", "webm"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

}  // namespace
}  // namespace orvel::e2e
