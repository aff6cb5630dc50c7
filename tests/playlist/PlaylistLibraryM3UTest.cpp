// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "PlaylistTestSupport.h"
#include "core/Text.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Entries = std::vector<std::pair<std::string, std::string>>;

void write(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string read(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

Nodes parse(std::string_view text, const std::string& directory = "/") {
  return PlaylistLibrary::parseM3U(text, *Url::fileURL(directory));
}

TEST(PlaylistM3U, ExportsTitlesAndPlainPathsOneLineEach) {
  const Nodes nodes = {PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "A"),
                       PlaylistNode::folder("skipped"), PlaylistNode(),
                       PlaylistNode::item("file:///tmp/My%20Dir/clip.mp4")};
  EXPECT_EQ(PlaylistLibrary::m3u(nodes),
            "#EXTM3U\n#EXTINF:-1,A\nhttps://youtu.be/aaaaaaaaaaa\n"
            "#EXTINF:-1,clip\n/tmp/My Dir/clip.mp4\n");
}

TEST(PlaylistM3U, LineBreaksInTitlesOrPathsCannotSplitAnEntry) {
  // A path with a line break is no file the player opens; a stored one is written as it stands
  // on one line and is not read back.
  const Nodes nodes = {PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "two\nlines\r"),
                       PlaylistNode::item("file:///tmp/odd%0Aname.mp4", "odd")};
  const std::string text = PlaylistLibrary::m3u(nodes);
  EXPECT_EQ(text,
            "#EXTM3U\n#EXTINF:-1,two lines \nhttps://youtu.be/aaaaaaaaaaa\n"
            "#EXTINF:-1,odd\nfile:///tmp/odd%0Aname.mp4\n");
  EXPECT_EQ(namesAndLinks(parse(text)), (Entries{{"two lines", *nodes[0].url}}));
}

TEST(PlaylistM3U, ImportsTitlesLocationsAndSkipsWhatDoesNotPlay) {
  const Nodes items = parse(
      "\xEF\xBB\xBF#EXTM3U\r\n"
      "#EXTINF:123,Artist - Song, Live\r\n"
      "clip.mp4\r\n"
      "#EXTINF:-1,Lost with its link\r\n"
      "notes.txt\r\n"
      "next.webm\r\n"
      " \t/abs/path with space.mkv \r\n"
      "#EXTINF:-1,Web\r\n"
      "# a comment keeps the pending title\r\n"
      "https://youtu.be/aaaaaaaaaaa\r\n"
      "https://example.com/page\r\n"
      "sub dir/clip #2.mp4\n"
      "#EXTINF:-1,thesis\n"
      "file:///home/me/Documents/thesis.txt%00.mp4\n"
      "thesis.txt\x01.mp4\n"
      "#EXTINF:-1\n"
      "https://youtu.be/bbbbbbbbbbb",
      "/lists/");
  EXPECT_EQ(namesAndLinks(items), (Entries{{"Artist - Song, Live", "file:///lists/clip.mp4"},
                                           {"", "file:///lists/next.webm"},
                                           {"", "file:///abs/path%20with%20space.mkv"},
                                           {"Web", "https://youtu.be/aaaaaaaaaaa"},
                                           {"", "file:///lists/sub%20dir/clip%20%232.mp4"},
                                           {"", "https://youtu.be/bbbbbbbbbbb"}}));
  EXPECT_TRUE(items[0].isExpanded && !items[0].children && !items[0].lastPlayedID);
  EXPECT_NE(items[0].id, items[1].id);
}

TEST(PlaylistM3U, RoundTripsTitlesWithCommasAndPathsWithSpaces) {
  const Nodes nodes = {PlaylistNode::item(fileURL("/home/me/My Films/a, b.mkv"), "One, two"),
                       PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "#1 hit"),
                       PlaylistNode::item(fileURL("/home/me/Films/plain.webm"))};
  EXPECT_EQ(
      namesAndLinks(parse(PlaylistLibrary::m3u(nodes), "/elsewhere")),
      (Entries{{"One, two", *nodes[0].url}, {"#1 hit", *nodes[1].url}, {"plain", *nodes[2].url}}));
}

TEST(PlaylistM3U, ImportMakesOneFolderNamedAfterTheFileOrSaysWhyNot) {
  TemporaryFolder folder;
  write(folder.file("Road Trip.m3u8"), "#EXTM3U\n#EXTINF:-1,Intro\nintro.mp4\n");
  const auto imported = PlaylistLibrary::importM3U(folder.file("Road Trip.m3u8"));
  ASSERT_TRUE(imported) << imported.error();
  EXPECT_EQ(imported->name, "Road Trip");
  EXPECT_EQ(namesAndLinks(*imported->children),
            (Entries{{"Intro", fileURL(folder.file("intro.mp4"))}}));

  write(folder.file("links.m3u"), "#EXTM3U\n#EXTINF:-1,Page\nhttps://example.com/\nreadme.txt\n");
  EXPECT_EQ(PlaylistLibrary::importM3U(folder.file("links.m3u")).error(),
            "links.m3u has no supported videos.");
  EXPECT_EQ(PlaylistLibrary::importM3U(folder.file("missing.m3u")).error(),
            "Could not read missing.m3u.");

  std::string garbage(4096, '\0');
  std::mt19937 generator(1);
  for (char& byte : garbage) {
    byte = static_cast<char>(generator());
  }
  write(folder.file("garbage.m3u"), garbage);
  EXPECT_EQ(PlaylistLibrary::importM3U(folder.file("garbage.m3u")).error(),
            "Could not read garbage.m3u.");
  // Parsed anyway, the bytes make no entries and no trouble.
  EXPECT_TRUE(parse(garbage).empty());
}

TEST(PlaylistM3U, AFiftyMegabyteLineIsDroppedWithItsTitleAndAFiftyMegabyteTitleIsCut) {
  TemporaryFolder folder;
  std::string text = "#EXTINF:-1,Too long\nhttps://youtu.be/aaaaaaaaaaa?pad=";
  text.append(50 * 1024 * 1024, 'x');
  text += "\n#EXTINF:-1,Fine\nhttps://youtu.be/bbbbbbbbbbb\n#EXTINF:-1,";
  text.append(50 * 1024 * 1024, 'T');
  text += "\nhttps://youtu.be/ccccccccccc\n";
  write(folder.file("long.m3u"), text);
  const auto imported = PlaylistLibrary::importM3U(folder.file("long.m3u"));
  ASSERT_TRUE(imported);
  EXPECT_EQ(namesAndLinks(*imported->children),
            (Entries{{"Fine", "https://youtu.be/bbbbbbbbbbb"},
                     {std::string(kLongestTitle, 'T'), "https://youtu.be/ccccccccccc"}}));
}

// As many entries as the playlist holds arrive; one more and the file is refused whole, without
// reading on. Told to stop, an import ends with nothing.
TEST(PlaylistM3U, ImportsUpToTheLargestLibraryAndStopsWhenToldTo) {
  auto entries = [](std::size_t count) {
    std::string text = "#EXTM3U\n";
    for (std::size_t index = 0; index < count; ++index) {
      text +=
          "#EXTINF:-1,Clip " + std::to_string(index) + "\nc/" + std::to_string(index) + ".mp4\n";
    }
    return text;
  };
  const std::string most = entries(PlaylistLibrary::kLargestLibrary);
  PlaylistLibrary::ImportProgress progress;
  const auto imported =
      PlaylistLibrary::importM3U(most, "/m/most.m3u", PlaylistLinkResolver::shared(), &progress);
  ASSERT_TRUE(imported) << imported.error();
  ASSERT_EQ(imported->children->size(), PlaylistLibrary::kLargestLibrary);
  EXPECT_EQ(namesAndLinks({imported->children->back()}),
            (Entries{{"Clip 99999", "file:///m/c/99999.mp4"}}));
  EXPECT_GE(progress.percent, 99);

  const std::string tooMany = most + "one/more.mp4\n" + entries(100);
  EXPECT_EQ(PlaylistLibrary::importM3U(tooMany, "/m/more.m3u").error(),
            "more.m3u lists more than 100,000 videos, more than the playlist holds.");
  EXPECT_EQ(parse(tooMany, "/m").size(), PlaylistLibrary::kLargestLibrary + 1);

  PlaylistLibrary::ImportProgress cancelled;
  cancelled.cancelled = true;
  EXPECT_EQ(
      PlaylistLibrary::importM3U(most, "/m/most.m3u", PlaylistLinkResolver::shared(), &cancelled)
          .error(),
      PlaylistLibrary::kImportCancelled);
}

TEST(PlaylistM3U, ExportWritesTheOpenFolderOrTheWholeLibraryAndReportsFailure) {
  TemporaryFolder folder;
  const PlaylistNode trips = PlaylistNode::folder(
      "Trips",
      {PlaylistNode::folder("Day 1", {PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "in")})});
  const Nodes library = {trips, PlaylistNode::item("https://youtu.be/bbbbbbbbbbb", "out")};
  EXPECT_EQ(PlaylistLibrary::exportMenuTitle(library, trips.id), "Export “Trips” as M3U…");
  EXPECT_EQ(PlaylistLibrary::exportMenuTitle(library, std::nullopt), "Export Playlist as M3U…");
  EXPECT_EQ(PlaylistLibrary::exportFileName(library, trips.id), "Trips.m3u");
  EXPECT_EQ(PlaylistLibrary::exportFileName(library, library[1].id), "Playlist.m3u");

  const std::string target = folder.file("out.m3u");
  write(target,
        "older and longer contents .......................................................");
  EXPECT_EQ(PlaylistLibrary::exportM3U(library, trips.id, target), std::nullopt);
  EXPECT_EQ(read(target), "#EXTM3U\n#EXTINF:-1,in\nhttps://youtu.be/aaaaaaaaaaa\n");
  EXPECT_EQ(PlaylistLibrary::exportM3U(library, std::nullopt, target), std::nullopt);
  EXPECT_EQ(parse(read(target)).size(), 2u);

  const auto failure = PlaylistLibrary::exportM3U(library, std::nullopt, folder.file("no/x.m3u"));
  ASSERT_TRUE(failure);
  EXPECT_TRUE(failure->starts_with("Could not export: ") && failure->size() > 18) << *failure;
}

}  // namespace
}  // namespace orvel
