// SPDX-License-Identifier: GPL-3.0-or-later

// Playing as a user starts it: files and links from the command line, the desktop and a second
// launch; what is stored and resumed; failures of the media, the engine and hostile pages.

#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/SqliteDefaults.h"
#include "e2e/EndToEnd.h"
#include "e2e/LocalWebServer.h"
#include "e2e/XDisplay.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel::e2e {
namespace {

TEST(PlayerEndToEndYouTube, AVideoPlaysThroughThePlayerPage) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 6));
  standInForYouTube(home, R"({"videos": {"dQw4w9WgXcQ": ")" + clip +
                              R"("}, "titles": {"dQw4w9WgXcQ": "Stand-in song"}})");
  Player player(home, {"https://youtu.be/dQw4w9WgXcQ"}, "player.log");
  ASSERT_TRUE(playsTo(home, "dQw4w9WgXcQ", 1)) << player.log();
  screenshot("playing-youtube.png");
  EXPECT_EQ(home.lastURL(), "https://www.youtube.com/watch?v=dQw4w9WgXcQ");
  auto history = home.history();
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history[0].title, "Stand-in song");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndHostilePage, AHugeTitleIsStoredCutTo1024Characters) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 6));
  standInForYouTube(home, R"({"videos": {"dQw4w9WgXcQ": ")" + clip +
                              R"("}, "titles": {"dQw4w9WgXcQ": ")" + std::string(1 << 20, 'T') +
                              R"("}})");
  Player player(home, {"https://youtu.be/dQw4w9WgXcQ"}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !home.history().empty(); }, 60)) << player.log();
  for (const char* key : {"settings.watchHistoryVideos", "settings.recentVideos"}) {
    auto stored = home.stored(key);
    ASSERT_TRUE(stored);
    EXPECT_LT(stored->get<PropertyList::Data>()->size(), 4096u) << key;
  }
  EXPECT_EQ(home.history()[0].title, std::string(1024, 'T'));
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndYouTube, APlaylistAdvancesInsideThePageAndRemembersItsPlace) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 3));
  standInForYouTube(home,
                    R"({"videos": {"aaaaaaaaaaa": ")" + clip + R"(", "bbbbbbbbbbb": ")" + clip +
                        R"("}, "playlists": {"PLstandin01": ["aaaaaaaaaaa", "bbbbbbbbbbb"]}})");
  Player player(home, {"https://www.youtube.com/watch?v=aaaaaaaaaaa&list=PLstandin01"},
                "player.log");
  const std::string mediaID = "youtube-playlist:PLstandin01";
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).has_value(); }, 60)) << player.log();
  // The second entry plays on its own, and the stored link points at it.
  ASSERT_TRUE(waitUntil(
      [&] { return home.lastURL().value_or("").find("index=2") != std::string::npos; }, 60))
      << player.log() << home.lastURL().value_or("<none>");
  EXPECT_NE(home.lastURL()->find("list=PLstandin01"), std::string::npos);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndYouTube, APlayerErrorIsShownAndAPageThatNeverGetsReadyIsRetriedOnce) {
  Home home;
  standInForYouTube(home, R"({"videos": {}, "errorFor": {"ccccccccccc": 150}})");
  {
    Player player(home, {"https://www.youtube.com/watch?v=ccccccccccc"}, "error.log");
    ASSERT_TRUE(waitUntil(
        [&] { return player.logContains("YouTube player error: This video can't be embedded"); },
        40))
        << player.log();
    EXPECT_EQ(player.terminate(), 0);
  }
  Home stuck;
  standInForYouTube(stuck, R"({"neverReady": true})");
  Player player(stuck, {"https://www.youtube.com/watch?v=ddddddddddd"}, "stuck.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("did not become ready in time"); }, 60))
      << player.log();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("did not become ready again"); }, 60))
      << player.log();
  EXPECT_FALSE(stuck.position("ddddddddddd"));
  EXPECT_EQ(player.terminate(), 0);
}

class PlayerEndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEnd, AFileFromTheCommandLinePlaysAndIsRecorded) {
  Home home;
  const std::string clip = makeClip(home, "clip." + GetParam(), 8);
  const std::string mediaID = GetParam() + ":" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, mediaID, 2)) << player.log();
  screenshot("playing-" + GetParam() + ".png");
  EXPECT_EQ(home.lastURL(), fileURL(clip));
  auto history = home.history();
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history[0].videoID, mediaID);
  EXPECT_EQ(history[0].sourceURL, fileURL(clip));
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(WebFormats, PlayerEndToEnd, ::testing::Values("webm", "mp4"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

// A folder of the media folder plays as a queue: each clip's end starts the next, and the queue
// runs out after the third with repeat off, or goes round with repeat all.
TEST(PlayerEndToEndQueue, AFolderOfTheMediaFolderPlaysThroughAndRepeatAllGoesRound) {
  Home home;
  const std::string trip = home.folder().file("Videos/Wendle Media/Trip");
  std::filesystem::create_directories(trip);
  std::vector<std::string> clips;
  for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) {
    const std::string made = makeClip(home, name, 2);
    clips.push_back(trip + "/" + name);
    std::filesystem::rename(made, clips.back());
  }
  auto lastPlayed = [&]() -> std::string {
    auto value = home.stored("playlistLastPlayed");
    const std::string* text = value ? value->get<std::string>() : nullptr;
    return text ? *text : "";
  };
  auto idOf = [](const std::string& path) { return PlaylistLibrary::stableID(path).uuidString(); };
  {
    Player player(home, {clips[0]}, "off.log");
    std::vector<std::string> seen;
    const bool ranOut = waitUntil(
        [&] {
          const std::string now = lastPlayed();
          if (!now.empty() && (seen.empty() || seen.back() != now)) {
            seen.push_back(now);
          }
          return seen.size() == 2 && home.position("mkv:" + fileURL(clips[2])) && now.empty();
        },
        30);
    EXPECT_TRUE(ranOut) << player.log();
    EXPECT_EQ(seen, (std::vector<std::string>{idOf(clips[1]), idOf(clips[2])}));
    EXPECT_EQ(player.terminate(), 0) << player.log();
  }
  SqliteDefaults::open(home.store())->set("playlistRepeat", PropertyList(std::string("all")));
  Player player(home, {clips[2]}, "all.log");
  EXPECT_TRUE(waitUntil([&] { return lastPlayed() == idOf(clips[0]); }, 60)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndFiles, AWebmWhoseNameIsNotUtf8PlaysUnderItsOwnName) {
  Home home;
  const std::string clip = makeClip(home, "caf\xE9.webm", 20);
  const std::string mediaID = "webm:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, mediaID, 2)) << player.log();
  const auto history = home.history();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].videoID, mediaID);
  EXPECT_EQ(history[0].title, "caf\xEF\xBF\xBD");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndNative, AnMkvPlaysThroughToItsEnd) {
  Home home;
  const std::string clip = makeClip(home, "film.mkv", 8);
  const std::string mediaID = "mkv:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  const WindowGeometry frame = windowGeometry(*window);
  // The picture is on screen: the window's left part shows the clip's colour bars, not black.
  std::optional<std::array<int, 3>> pixel;
  EXPECT_TRUE(waitUntil(
      [&] {
        pixel = x11::readScreenPixel(frame.x + frame.width / 4, frame.centreY());
        return pixel && *pixel != std::array<int, 3>{0, 0, 0};
      },
      60))
      << player.log();
  screenshot("playing-mkv.png");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Playback ended: " + mediaID); }, 60))
      << player.log();
  EXPECT_FALSE(player.logContains("Unable to read video"));
  // Only native media played, so the web engine never started.
  EXPECT_FALSE(player.runsWebEngine());
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndNative, ACorruptMkvRaisesTheUnableToReadAlert) {
  Home home;
  const std::string path = home.folder().file("broken.mkv");
  std::ofstream(path) << std::string(4096, '\x5a');
  Player player(home, {path}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Unable to read video"); }, 60))
      << player.log();
  EXPECT_TRUE(player.logContains("The source could not be read or decoded."));
  screenshot("unreadable-mkv.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// libmpv is a module the program opens when an MKV first plays; a program without it still runs
// and says why the file does not play.
TEST(PlayerEndToEndNative, WithoutItsMediaModuleAnMkvRaisesTheUnableToReadAlert) {
  Home home;
  const std::string clip = makeClip(home, "clip.mkv", 5);
  const std::string bin = home.folder().file("bin");
  std::filesystem::create_directories(bin);
  std::filesystem::copy_file(playerProgram(), bin + "/orvel-player");
  Player player(home, Player::Program(bin + "/orvel-player", clip), "player.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Unable to read video"); }, 60))
      << player.log();
  EXPECT_TRUE(player.logContains("The native media module cannot be opened")) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndRestart, StartingAgainResumesWhereItStopped) {
  Home home;
  const std::string clip = makeClip(home, "long.webm", 30);
  const std::string mediaID = "webm:" + fileURL(clip);
  double stopped = 0;
  {
    Player first(home, {clip}, "first.log");
    ASSERT_TRUE(playsTo(home, mediaID, 4)) << first.log();
    ASSERT_EQ(first.terminate(), 0) << first.log();
    stopped = home.position(mediaID).value_or(0);
  }
  Player second(home, {}, "second.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) != stopped; }, 60))
      << second.log();
  // Reports start where playback resumed, never from the beginning again.
  EXPECT_GE(*home.position(mediaID), stopped - 0.5) << second.log();
  EXPECT_EQ(second.terminate(), 0);
}

TEST(PlayerEndToEndSingleInstance, ASecondLaunchHandsItsFileToTheRunningPlayer) {
  Home home;
  const std::string first = makeClip(home, "first.webm", 20);
  const std::string second = makeClip(home, "second.webm", 20);
  Player running(home, {first}, "running.log");
  ASSERT_TRUE(waitUntil([&] { return home.lastURL() == fileURL(first); }, 60)) << running.log();
  Player later(home, {second}, "later.log");
  EXPECT_EQ(later.wait(30), 0) << later.log();
  ASSERT_TRUE(waitUntil([&] { return home.position("webm:" + fileURL(second)).has_value(); }, 60))
      << running.log();
  EXPECT_EQ(home.lastURL(), fileURL(second));
  EXPECT_EQ(running.terminate(), 0);
}

// The players running in this home, whatever started them.
int playersIn(const Home& home) {
  int count = 0;
  const std::string homeVariable = "HOME=" + home.folder().path() + '\0';
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string folder = entry.path().string();
    if (readFile(folder + "/comm") == "orvel-player\n" &&
        readFile(folder + "/environ").find(homeVariable) != std::string::npos) {
      ++count;
    }
  }
  return count;
}

// "Open With" in a file manager: the desktop file's command, run by GIO with the file's path or by
// another launcher with its URL, hands the file to the running player, and leaves; the window is
// the one the desktop file says it maps.
TEST(PlayerEndToEndDesktop, OpenWithPlaysTheFileInTheRunningPlayer) {
  Home home;
  const std::string first = makeClip(home, "first.webm", 20);
  // Names whose URL GLib escapes differently from the player.
  const std::string second = makeClip(home, "Open with; second.mkv", 20);
  const std::string third = makeClip(home, "Open with; third.webm", 20);
  Player running(home, {first}, "running.log");
  ASSERT_TRUE(waitUntil([&] { return home.lastURL() == fileURL(first); }, 60)) << running.log();

  const std::string bin = home.folder().file("bin");
  std::filesystem::create_directories(bin);
  std::filesystem::create_symlink(playerProgram(), bin + "/orvel-player");
  const std::string script = home.folder().file("open-with.sh");
  std::ofstream(script) << "PATH='" << bin << "':\"$PATH\" exec gio launch '"
                        << ORVEL_E2E_DESKTOP_FILE << "' '" << second << "'\n";
  Player openWith(home, Player::Program("/bin/sh", script), "open-with.log");
  EXPECT_EQ(openWith.wait(30), 0) << openWith.log();
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(second), 1)) << running.log();
  EXPECT_EQ(home.lastURL(), fileURL(second));

  gchar* glibURL = g_filename_to_uri(third.c_str(), nullptr, nullptr);
  ASSERT_NE(glibURL, fileURL(third));
  Player byURL(home, {glibURL}, "by-url.log");
  g_free(glibURL);
  EXPECT_EQ(byURL.wait(30), 0) << byURL.log();
  ASSERT_TRUE(playsTo(home, "webm:" + fileURL(third), 1)) << running.log();

  EXPECT_TRUE(waitUntil([&] { return playersIn(home) == 1; }, 30)) << playersIn(home);
  const std::string windows = commandOutput("xdotool search --onlyvisible --name '^Orvel player$'");
  ASSERT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;
  // Desktops group the window under the desktop file by its WM_CLASS.
  const std::string desktopFile = readFile(ORVEL_E2E_DESKTOP_FILE);
  const auto key = desktopFile.find("\nStartupWMClass=");
  ASSERT_NE(key, std::string::npos);
  const std::string wmClass =
      desktopFile.substr(key + 16, desktopFile.find('\n', key + 1) - key - 16);
  const std::string window = windows.substr(0, windows.find('\n'));
  EXPECT_NE(commandOutput("xprop -id " + window + " WM_CLASS").find('"' + wmClass + '"'),
            std::string::npos)
      << wmClass;
  EXPECT_EQ(running.terminate(), 0);
}

TEST(PlayerEndToEndFailures, AWebProcessThatDiesIsReplacedAndPlaybackGoesOn) {
  Home home;
  const std::string clip = makeClip(home, "long.webm", 30);
  const std::string mediaID = "webm:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(playsTo(home, mediaID, 3)) << player.log();
  const double before = *home.position(mediaID);
  ASSERT_GE(player.killWebProcesses(), 1);
  ASSERT_TRUE(waitUntil([&] { return player.logCount("Opening ") == 2; }, 60)) << player.log();
  ASSERT_TRUE(playsTo(home, mediaID, before + 2)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndFailures, AMissingFileIsReportedAndNothingStoredIsLost) {
  Home home;
  const std::string clip = makeClip(home, "kept.webm", 20);
  {
    Player first(home, {clip}, "first.log");
    ASSERT_TRUE(waitUntil([&] { return home.position("webm:" + fileURL(clip)).has_value(); }, 60));
    ASSERT_EQ(first.terminate(), 0);
  }
  auto before = home.position("webm:" + fileURL(clip));
  Player player(home, {fileURL(home.folder().file("gone.webm"))}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Unable to read video"); }, 60))
      << player.log();
  EXPECT_TRUE(player.logContains("The file is missing, its drive is disconnected"));
  // A second missing file handed over by another launch replaces the alert instead of stacking
  // a second one on it.
  const auto alerts = [] {
    const std::string windows =
        commandOutput("xdotool search --onlyvisible --name '^Unable to read video$'");
    return std::count(windows.begin(), windows.end(), '\n');
  };
  ASSERT_TRUE(waitUntil([&] { return alerts() == 1; }, 30));
  Player later(home, {fileURL(home.folder().file("also-gone.webm"))}, "later.log");
  EXPECT_EQ(later.wait(30), 0) << later.log();
  ASSERT_TRUE(waitUntil([&] { return player.logCount("Unable to read video") == 2; }, 60))
      << player.log();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(alerts(), 1);
  screenshot("missing-file-alert.png");
  EXPECT_EQ(player.terminate(), 0);
  EXPECT_EQ(home.position("webm:" + fileURL(clip)), before);
}

// ---- Pages that try what a video page has no business doing -------------------------------

std::vector<std::string> filesBelow(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
       entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
    if (entry->is_regular_file()) {
      files.push_back(entry->path().string());
    }
  }
  return files;
}

// A Disney+ page (served under the site's own name through a proxy of the test's) that asks for
// Widevine, which this system's web engine does not offer: the player says so, and records no
// failure of the link. A page of the same site that asks for nothing says nothing.
TEST(PlayerEndToEndDisneyPlus, APageThatNeedsProtectedPlaybackTheEngineLacksIsSaidSo) {
  Home home;
  LocalWebServer site;
  const std::string needs = "http://www.disneyplus.com/video/needs-drm";
  const std::string plain = "http://www.disneyplus.com/video/plain";
  site.route(needs, {"text/html",
                     "<!doctype html><title>Protected</title><script>"
                     "navigator.requestMediaKeySystemAccess('com.widevine.alpha', [{"
                     "initDataTypes: ['cenc'], videoCapabilities: [{contentType: "
                     "'video/mp4; codecs=\"avc1.42E01E\"'}]}]).catch(function () {});"
                     "</script>",
                     ""});
  site.route(plain,
             {"text/html", "<!doctype html><title>Plain</title><p>Nothing protected</p>", ""});
  home.addEnvironment("ORVEL_TEST_HTTP_PROXY=" + site.url(""));
  const std::string message =
      "This page needs protected playback (Widevine), which this system's web engine does not "
      "offer.";
  Player player(home, {needs}, "player.log");
  EXPECT_TRUE(home.control(message, 60)) << home.controlNames() << player.log();
  screenshot("protected-playback.png");
  EXPECT_FALSE(player.logContains("Unable to read video")) << player.log();

  Player again(home, {plain}, "again.log");
  EXPECT_EQ(again.wait(30), 0) << again.log();
  ASSERT_TRUE(waitUntil([&] { return site.wasAskedFor(plain); }, 60)) << player.log();
  // Past the moment the page's script would have spoken.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_FALSE(home.control(message, 0)) << home.controlNames();
  EXPECT_EQ(player.logCount("protected playback"), 1u) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndHostilePage, ADownloadIsRefusedAndNoFileIsWrittenOrRemoved) {
  Home home;
  const std::string downloads = home.folder().file("Downloads");
  std::filesystem::create_directories(downloads);
  std::ofstream(downloads + "/report.pdf") << "the user's own report";
  std::ofstream(home.folder().file("config/user-dirs.dirs"))
      << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
  LocalWebServer server;
  server.route("/x.mp4", {"text/html", "<script>location = '/report.pdf';</script>", ""});
  server.route("/report.pdf", {"application/pdf", "%PDF-1.4 not yours",
                               "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"});

  Player player(home, {server.url("/x.mp4")}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return server.wasAskedFor("/report.pdf"); }, 60)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Refused a download"); }, 30))
      << player.log();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(readFile(downloads + "/report.pdf"), "the user's own report");
  for (const std::string& file : filesBelow(home.folder().path())) {
    if (std::filesystem::path(file).filename().string().find("report") != std::string::npos) {
      EXPECT_EQ(file, downloads + "/report.pdf");
    }
  }
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndHostilePage, ANewWindowNeverOpensALocalFile) {
  Home home;
  LocalWebServer server;
  const std::string probe = home.folder().file("probe.html");
  std::ofstream(probe) << "<script>fetch('" << server.url("/probe-ran") << "');</script><img src='"
                       << server.url("/probe-image") << "'>";
  server.route("/x.mp4", {"text/html",
                          "<script>window.open('" + fileURL(probe) +
                              "');\nsetTimeout(function () { window.open('/after'); }, 1500);"
                              "</script>",
                          ""});
  server.route("/after", {"text/html", "<p>a web page may follow</p>", ""});

  Player player(home, {server.url("/x.mp4")}, "player.log");
  // The page's second window, a web page, loads: by then the first had its chance.
  ASSERT_TRUE(waitUntil([&] { return server.wasAskedFor("/after"); }, 60)) << player.log();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(server.wasAskedFor("/probe-ran"));
  EXPECT_FALSE(server.wasAskedFor("/probe-image"));
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

}  // namespace
}  // namespace orvel::e2e
