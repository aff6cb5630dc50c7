// SPDX-License-Identifier: GPL-3.0-or-later

// The playlist panel, used with the mouse and the keyboard beside the running player.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/SqliteDefaults.h"
#include "e2e/EndToEnd.h"
#include "playlist/PlaylistLibrary.h"

namespace orvel::e2e {
namespace {

// The panel's window, once the window manager has placed it.
std::optional<WindowGeometry> findPanel() {
  const auto window = waitForWindow("Playlist");
  if (!window) {
    return std::nullopt;
  }
  focusWindow(*window);
  return windowGeometry(*window);
}

// The pointer rests on the header's summary, where no control shows a tooltip.
void restPointer(const WindowGeometry& panel) {
  pointerTo(panel.centreX(), panel.y + 26);
}

// A media folder of 30 clips in nested folders, one of them stopped part way.
std::string makeNestedMediaFolder(Home& home) {
  const std::string media = home.folder().file("Videos/Wendle Media");
  const std::string mp4 = makeClip(home, "one.mp4", 2);
  const std::string mkv = makeClip(home, "two.mkv", 2);
  auto place = [&](const std::string& from, const std::string& folder, const std::string& name) {
    std::filesystem::create_directories(media + "/" + folder);
    std::filesystem::copy_file(from, media + "/" + folder + "/" + name);
    return media + "/" + folder + "/" + name;
  };
  for (int index = 1; index <= 4; ++index) {
    place(mp4, "", "Clip " + std::to_string(index) + ".mp4");
  }
  std::string stopped;
  for (int index = 1; index <= 8; ++index) {
    const std::string made = place(mkv, "Lectures", "Lecture " + std::to_string(index) + ".mkv");
    if (index == 3) {
      stopped = made;
    }
  }
  for (int index = 1; index <= 6; ++index) {
    place(mp4, "Music videos", "Song " + std::to_string(index) + ".mp4");
  }
  for (int index = 1; index <= 5; ++index) {
    place(mkv, "Travel/Italy", "Rome day " + std::to_string(index) + ".mkv");
  }
  for (int index = 1; index <= 6; ++index) {
    place(mp4, "Travel/Japan", "Kyoto " + std::to_string(index) + ".mp4");
  }
  place(mp4, "Travel", "Intro.mp4");
  auto defaults = SqliteDefaults::open(home.store());
  const std::string mediaID = "mkv:" + fileURL(stopped);
  defaults->set("lastPlaybackPositions",
                PropertyList(PropertyList::Dictionary{{mediaID, PropertyList(95.0)}}));
  defaults->set("mediaDurations",
                PropertyList(PropertyList::Dictionary{{mediaID, PropertyList(300.0)}}));
  defaults->set("playlistScope",
                PropertyList(PlaylistLibrary::stableID(media + "/Lectures").uuidString()));
  return media;
}

// The toolbar's playlist button opens the panel on the folder played last; a link typed into its
// field joins the library, and Delete takes the selected row out again.
TEST(PlayerEndToEndPlaylist, TheToolbarOpensThePanelWhereLinksAreAddedAndRemoved) {
  Home home;
  makeNestedMediaFolder(home);
  Player player(home, {}, "player.log");
  ASSERT_TRUE(playerWindow(home)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.storedLibrary().size() == 7; }, 60)) << player.log();
  ASSERT_TRUE(clickPlayerControl(home, "Playlist")) << home.controlNames();
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  EXPECT_TRUE(waitUntil([&] { return player.logContains("Playlist shown at Lectures"); }, 30))
      << player.log();
  ASSERT_TRUE(home.control("Lecture 8", 30, panel)) << home.controlNames();
  restPointer(*panel);
  screenshot("playlist-panel.png");

  const std::string link = "http://127.0.0.1:9/talk.mp4";
  ASSERT_TRUE(clickControl(home, "Video or playlist URL", 1, 1, panel)) << home.controlNames();
  typeText("  " + link + "  ");
  pressKeys({"Return"});
  ASSERT_TRUE(waitUntil([&] { return home.libraryHolds(link); }, 30)) << player.log();
  // The new item is the open folder's last row, after its eight lectures.
  ASSERT_TRUE(clickControl(home, "Lecture 1", 1, 1, panel)) << home.controlNames();
  pressKeys({"End"});
  // Its artwork is the link's symbol, and being selected it shows its two buttons.
  EXPECT_TRUE(home.control("More actions for talk", 30, panel)) << home.controlNames();
  screenshot("playlist-link-added.png");
  pressKeys({"Delete"});
  EXPECT_TRUE(waitUntil([&] { return !home.libraryHolds(link); }, 30)) << player.log();
  EXPECT_EQ(PlaylistTree::items(home.storedLibrary()).size(), 30u);

  // A file's menu: Play, Rename…, Copy Link, Show in Files, then Move To.
  ASSERT_TRUE(clickControl(home, "Lecture 1", 3, 1, panel)) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Move To")) << home.controlNames();
  EXPECT_TRUE(home.control("Top Level")) << home.controlNames();
  screenshot("playlist-move-to.png");
  // A row's own menu, then quitting with the panel open: the menu does not outlive its row.
  pressKeys({"Escape"});
  ASSERT_TRUE(waitUntil([&] { return !home.control("Top Level", 0); }, 30));
  ASSERT_TRUE(clickControl(home, "More actions for Lecture 2", 1, 1, panel)) << home.controlNames();
  EXPECT_TRUE(home.control("Rename…")) << home.controlNames();
  pressKeys({"Escape"});
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Opened at All Videos, the panel brings the row to resume from into view, far down the list.
TEST(PlayerEndToEndPlaylist, OpenedAtAllVideosItShowsTheRowToResume) {
  Home home;
  const std::string media = home.folder().file("Videos/Wendle Media");
  std::filesystem::create_directories(media);
  const std::string clip = makeClip(home, "clip.mp4", 2);
  for (int index = 10; index < 70; ++index) {
    std::filesystem::copy_file(clip, media + "/Clip " + std::to_string(index) + ".mp4");
  }
  const std::string mediaID = "mp4:" + fileURL(media + "/Clip 65.mp4");
  {
    auto defaults = SqliteDefaults::open(home.store());
    defaults->set("lastPlaybackPositions",
                  PropertyList(PropertyList::Dictionary{{mediaID, PropertyList(95.0)}}));
    defaults->set("mediaDurations",
                  PropertyList(PropertyList::Dictionary{{mediaID, PropertyList(300.0)}}));
  }
  Player player(home, {}, "player.log");
  ASSERT_TRUE(playerWindow(home)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.storedLibrary().size() == 60; }, 60)) << player.log();
  ASSERT_TRUE(clickPlayerControl(home, "Playlist")) << home.controlNames();
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Playlist shown at All Videos"); }, 30))
      << player.log();
  EXPECT_TRUE(home.control("Clip 65", 30, panel)) << home.controlNames();
  EXPECT_FALSE(home.control("Clip 10", 0, panel)) << home.controlNames();
  restPointer(*panel);
  screenshot("playlist-all-videos-resume.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// A FIFO named like a video in the media folder: the panel lists it, reading it blocks nothing, and
// Ctrl+Q still ends the player.
TEST(PlayerEndToEndPlaylist, AFifoNamedLikeAVideoBlocksNeitherThePanelNorQuitting) {
  Home home;
  const std::string media = home.folder().file("Videos/Wendle Media");
  std::filesystem::create_directories(media);
  std::filesystem::copy_file(makeClip(home, "clip.mp4", 2), media + "/Clip.mp4");
  ASSERT_EQ(::mkfifo((media + "/Stuck.mp4").c_str(), 0600), 0);
  Player player(home, {}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.storedLibrary().size() == 2; }, 60)) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  EXPECT_TRUE(home.control("Stuck", 30, panel)) << home.controlNames();
  EXPECT_TRUE(home.control("Clip", 30, panel)) << home.controlNames();
  pressKeys({"ctrl+q"});
  EXPECT_EQ(player.wait(30), 0) << player.log();
}

// A link to the whole file system in the media folder: the video beside it still joins the
// playlist, and Ctrl+Q ends the player at once, whatever the scan is reading.
TEST(PlayerEndToEndPlaylist, ALinkToTheRootInTheMediaFolderHoldsNeitherTheLibraryNorQuitting) {
  Home home;
  const std::string media = home.folder().file("Videos/Wendle Media");
  std::filesystem::create_directories(media);
  std::filesystem::copy_file(makeClip(home, "clip.mp4", 2), media + "/Clip.mp4");
  std::filesystem::create_directory_symlink("/", media + "/root");
  Player player(home, {}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  EXPECT_TRUE(waitUntil([&] { return home.libraryHolds(fileURL(media + "/Clip.mp4")); }, 90))
      << player.log();
  // Scanning again, as opening the playlist does, and quitting meanwhile.
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  ASSERT_TRUE(findPanel()) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  const auto asked = std::chrono::steady_clock::now();
  pressKeys({"ctrl+q"});
  EXPECT_EQ(player.wait(30), 0) << player.log();
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(10));
}

// Imports the playlist file through the panel's menu and the file chooser, by keyboard.
void importThroughTheChooser(const Home& home, const WindowGeometry& panel,
                             const std::string& path) {
  ASSERT_TRUE(clickControl(home, "Import or export", 1, 1, panel)) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Import M3U Playlist…")) << home.controlNames();
  const auto chooser = waitForWindow("Import M3U Playlist");
  ASSERT_TRUE(chooser);
  focusWindow(*chooser);
  pressKeys({"ctrl+l"});
  typeText(path);
  // The location's completion may take the first Return.
  for (int tries = 0; tries < 3 && windowShown("Import M3U Playlist"); ++tries) {
    pressKeys({"Return"});
    waitUntil([] { return !windowShown("Import M3U Playlist"); }, 5);
  }
  ASSERT_FALSE(windowShown("Import M3U Playlist")) << home.controlNames();
}

// A playlist file of 100,000 entries is read off the main loop: the panel answers meanwhile, says
// how far it got and offers to stop, and the folder joins the playlist whole. Stopped, an import
// adds nothing.
TEST(PlayerEndToEndPlaylist, ALargePlaylistFileIsImportedWhileThePanelAnswers) {
  Home home;
  const std::string big = home.folder().file("Big.m3u");
  const std::string slow = home.folder().file("Slow.m3u");
  {
    std::string entries;
    for (int index = 0; index < 100'000; ++index) {
      entries += "#EXTINF:-1,Clip " + std::to_string(index) + "\n/clips/" + std::to_string(index) +
                 ".mp4\n";
    }
    std::ofstream(big) << "#EXTM3U\n" << entries;
    std::string skipped;
    for (int index = 0; index < 400'000; ++index) {
      skipped += "notes" + std::to_string(index) + ".txt\n";
    }
    std::ofstream(slow) << "#EXTM3U\n" << skipped << entries;
  }
  Player player(home, {}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();

  importThroughTheChooser(home, *panel, slow);
  ASSERT_TRUE(home.control("Stop", 60, panel)) << home.controlNames();
  screenshot("playlist-importing.png");
  ASSERT_TRUE(clickControl(home, "Stop", 1, 1, panel)) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return !home.control("Stop", 0, panel); }, 30))
      << home.controlNames();

  importThroughTheChooser(home, *panel, big);
  EXPECT_TRUE(waitUntil(
      [&] {
        const auto library = home.storedLibrary();
        return library.size() == 1 && library[0].name == "Big" &&
               library[0].children->size() == 100'000;
      },
      180))
      << player.log();
  EXPECT_TRUE(home.control("Add Files", 30, panel)) << home.controlNames();
  screenshot("playlist-imported.png");
  // Closed and opened again over the imported folder.
  ASSERT_TRUE(clickControl(home, "Done", 1, 1, panel)) << home.controlNames();
  ASSERT_TRUE(waitUntil([] { return !windowShown("Playlist"); }, 30)) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto again = findPanel();
  ASSERT_TRUE(again) << player.log();
  EXPECT_TRUE(home.control("Big", 60, again)) << home.controlNames();
  // A search over the 100,000 clips that one of them answers.
  ASSERT_TRUE(clickControl(home, "Search this folder", 1, 1, again)) << home.controlNames();
  typeText("clip 99998");
  EXPECT_TRUE(home.control("Clip 99998", 30, again)) << home.controlNames();
  EXPECT_FALSE(home.control("Clip 1", 0, again)) << home.controlNames();
  screenshot("playlist-search-imported.png");
  pressKeys({"ctrl+q"});
  EXPECT_EQ(player.wait(60), 0) << player.log();
}

// Playing a folder from the sidebar plays its clips in turn; the panel, opened again, marks the
// clip now playing.
TEST(PlayerEndToEndPlaylist, AFolderPlayedFromTheSidebarMovesTheCurrentMarkAsClipsEnd) {
  Home home;
  const std::string trip = home.folder().file("Videos/Wendle Media/Trip");
  std::filesystem::create_directories(trip);
  std::filesystem::rename(makeClip(home, "a.mkv", 4), trip + "/first.mkv");
  std::filesystem::rename(makeClip(home, "b.mkv", 60), trip + "/second.mkv");
  Player player(home, {}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.storedLibrary().size() == 1; }, 60)) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  const auto folders = home.control("Folders", 30, panel);
  ASSERT_TRUE(folders) << home.controlNames();
  ASSERT_TRUE(clickControl(home, "Trip", 1, 2, *folders)) << home.controlNames();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Playlist hidden"); }, 30)) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  ASSERT_TRUE(findPanel()) << player.log();
  EXPECT_TRUE(
      waitUntil([&] { return player.logContains("Playlist shown at Trip, playing first"); }, 30))
      << player.log();
  // The first clip ends; the second plays, and the panel goes as each item starts.
  ASSERT_TRUE(playsTo(home, "mkv:" + fileURL(trip + "/second.mkv"), 1)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return !windowShown("Playlist"); }, 30)) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto shown = findPanel();
  ASSERT_TRUE(shown) << player.log();
  EXPECT_TRUE(
      waitUntil([&] { return player.logContains("Playlist shown at Trip, playing second"); }, 30))
      << player.log();
  screenshot("playlist-current.png");
  // The open folder's header plays it, as the footer does, beside "Play from the beginning".
  const auto fromStart = home.control("Play from the beginning", 30, *shown);
  ASSERT_TRUE(fromStart) << home.controlNames();
  std::vector<Control> plays;
  for (const Control& control : home.controls()) {
    if (control.name == "Play Trip" && shown->contains(control.centreX(), control.centreY())) {
      plays.push_back(control);
    }
  }
  ASSERT_EQ(plays.size(), 2u) << home.controlNames();
  EXPECT_NEAR(plays[0].centreY(), fromStart->centreY(), 20);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The three empty states and the rename alert of a new folder; "Done" closes the panel.
TEST(PlayerEndToEndPlaylist, AnEmptyPlaylistAnEmptyFolderAndASearchWithoutMatchesSaySo) {
  Home home;
  Player player(home, {}, "player.log");
  const auto window = playerWindow(home);
  ASSERT_TRUE(window) << player.log();
  ASSERT_TRUE(focusWindow(*window));
  pressKeys({"ctrl+shift+p"});
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  EXPECT_TRUE(home.control("Your playlist is empty", 30, panel)) << home.controlNames();
  screenshot("playlist-empty.png");
  ASSERT_TRUE(clickControl(home, "New Folder", 1, 1, panel)) << home.controlNames();
  const auto rename = waitForWindow("Rename Folder");
  ASSERT_TRUE(rename) << player.log();
  ASSERT_TRUE(focusWindow(*rename));
  screenshot("playlist-rename.png");
  pressKeys({"ctrl+a"});
  typeText("Holiday");
  pressKeys({"Return"});
  ASSERT_TRUE(waitUntil(
      [&] {
        auto library = home.storedLibrary();
        return library.size() == 1 && library[0].name == "Holiday";
      },
      30))
      << player.log();
  // The new folder is the selected row: Return opens it.
  ASSERT_TRUE(clickControl(home, "Holiday", 1, 1, panel)) << home.controlNames();
  pressKeys({"Return"});
  EXPECT_TRUE(home.control("This folder is empty", 30, panel)) << home.controlNames();
  screenshot("playlist-empty-folder.png");
  ASSERT_TRUE(clickControl(home, "Search this folder", 1, 1, panel)) << home.controlNames();
  typeText("zebra");
  EXPECT_TRUE(home.control("No matches", 30, panel)) << home.controlNames();
  screenshot("playlist-no-matches.png");

  ASSERT_TRUE(clickControl(home, "Done", 1, 1, panel)) << home.controlNames();
  EXPECT_TRUE(waitUntil([&] { return player.logContains("Playlist hidden"); }, 30)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

}  // namespace
}  // namespace orvel::e2e
