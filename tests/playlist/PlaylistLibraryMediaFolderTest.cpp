// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "PlaylistTestSupport.h"
#include "core/Text.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

class MediaFolder : public testing::Test {
 protected:
  std::string path(const std::string& name) const { return media + "/" + name; }
  void touch(const std::string& name) const {
    fs::create_directories(fs::path(path(name)).parent_path());
    std::ofstream(path(name)) << "x";
  }
  Nodes scan() const { return PlaylistLibrary::loadFromMediaFolder(media); }

  TemporaryFolder temporary;
  std::string media = temporary.file("Videos/Wendle Media");
};

TEST_F(MediaFolder, IsCreatedWhenMissingAndListsVideosInNaturalCaseInsensitiveOrder) {
  EXPECT_TRUE(scan().empty());
  EXPECT_TRUE(fs::is_directory(media));
  for (const char* name : {"Episode 10.mp4", "Episode 2.MKV", "episode 3.webm", "notes.txt",
                           ".hidden.mp4", "mp4", "Only Text/readme.txt"}) {
    touch(name);
  }
  fs::create_directories(path("Empty/Nested"));
  const Nodes nodes = scan();
  EXPECT_EQ(titles(nodes), (Strings{"Episode 2", "episode 3", "Episode 10"}));
  EXPECT_EQ(nodes[0].url, fileURL(path("Episode 2.MKV")));
  EXPECT_EQ(nodes[0].id, PlaylistLibrary::stableID(path("Episode 2.MKV")));
}

TEST_F(MediaFolder, SubfoldersBecomeFoldersWithStableIdsAcrossRescans) {
  for (const char* name : {"Show/Season 1/b.mp4", "Show/Season 1/a.mp4", "Show/extra.webm"}) {
    touch(name);
  }
  const Nodes first = scan();
  ASSERT_EQ(titles(first), (Strings{"Show"}));
  EXPECT_EQ(first[0].id, PlaylistLibrary::stableID(path("Show")));
  EXPECT_EQ(titles(*first[0].children), (Strings{"extra", "Season 1"}));
  EXPECT_EQ(titles(PlaylistTree::items(first)), (Strings{"extra", "a", "b"}));
  EXPECT_EQ(scan(), first);
  EXPECT_EQ(PlaylistLibrary::nodeForFile(*Url::fileURL(path("Show") + "/")), first[0]);
  EXPECT_EQ(PlaylistLibrary::nodeForFile(*Url::fileURL(path("none.txt"))), std::nullopt);
}

TEST_F(MediaFolder, EntersEachDirectoryOnceTheRealOneBeforeALinkToIt) {
  touch("Show/a.mp4");
  fs::create_directory_symlink("..", path("Show/back to top"));
  fs::create_directory_symlink(media, path("Show/media again"));
  fs::create_directory_symlink(path("Show"), path("Linked Show"));
  const Nodes nodes = scan();
  EXPECT_EQ(titles(nodes), (Strings{"Show"}));
  EXPECT_EQ(titles(PlaylistTree::items(nodes)), (Strings{"a"}));
  // A link to a directory found nowhere else is followed like a real one.
  fs::create_directories(temporary.file("Elsewhere"));
  std::ofstream(temporary.file("Elsewhere/b.mkv")) << "x";
  fs::create_directory_symlink(temporary.file("Elsewhere"), path("Linked"));
  EXPECT_EQ(titles(scan()), (Strings{"Linked", "Show"}));
}

// A link into the whole file system (or into a tree of millions of files) is read only as far as
// the scan's share of entries goes, breadth first, so the videos beside the link are still found;
// the kernel's own trees are never entered; a scan called off stops.
TEST_F(MediaFolder, ALinkIntoAHugeTreeOrTheKernelsTreesLeavesTheVideosBesideItFound) {
  touch("Trip/b.mkv");
  touch("z.mp4");
  fs::create_directories(temporary.file("Huge/Deeper"));
  for (int index = 0; index < 300; ++index) {
    std::ofstream(temporary.file("Huge/Deeper/" + std::to_string(index) + ".mp4")) << "x";
  }
  fs::create_directory_symlink(temporary.file("Huge"), path("a huge tree"));
  fs::create_directory_symlink("/proc", path("kernel"));
  const PlaylistLibrary::ScanLimits limits{.maxEntries = 100};
  const Nodes nodes = PlaylistLibrary::loadFromMediaFolder(media, limits);
  ASSERT_EQ(titles(nodes), (Strings{"a huge tree", "Trip", "z"}));
  EXPECT_EQ(titles(*nodes[1].children), (Strings{"b"}));
  // Of the huge tree, what the share left room for.
  EXPECT_LT(PlaylistTree::items(nodes).size(), 100u);
  // Within the share, the tree is read; the kernel's still is not.
  EXPECT_EQ(PlaylistTree::items(PlaylistLibrary::loadFromMediaFolder(media)).size(), 302u);

  const std::atomic<bool> cancelled = true;
  EXPECT_TRUE(PlaylistLibrary::loadFromMediaFolder(media, {.cancelled = &cancelled}).empty());
}

TEST_F(MediaFolder, SurvivesBrokenLinksUnreadableFoldersDeepTreesAndNamesThatAreNotUTF8) {
  touch("\xFF\xFE.mp4");
  touch("Dir \xE9t\xE9/clip.mkv");
  touch("Locked/secret.mp4");
  fs::create_symlink(path("gone.mp4"), path("broken.mp4"));
  fs::create_symlink(path("gone"), path("broken.txt"));
  std::string deep = "Deep";
  for (std::size_t level = 0; level < PlaylistLibrary::maxScanDepth + 5; ++level) {
    deep += "/d";
  }
  touch(deep + "/too deep.mp4");
  chmod(path("Locked").c_str(), 0);
  const Nodes nodes = scan();
  chmod(path("Locked").c_str(), 0755);

  Strings shown;
  for (const PlaylistNode& node : nodes) {
    EXPECT_TRUE(isValidUTF8(node.name));
    shown.push_back(node.url.value_or(node.id.uuidString()));
  }
  // A broken link cannot say whether it was a directory, so it counts as a file by its name.
  Strings expected = {fileURL(path("\xFF\xFE.mp4")), fileURL(path("broken.mp4")),
                      PlaylistLibrary::stableID(path("Dir \xE9t\xE9")).uuidString()};
  // Root reads any folder, so only others find the locked one empty.
  if (geteuid() == 0) {
    expected.push_back(PlaylistLibrary::stableID(path("Locked")).uuidString());
  }
  std::sort(shown.begin(), shown.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(shown, expected);
}

class MediaFolderMerge : public MediaFolder {
 protected:
  MediaFolderMerge() {
    touch("Show/a.mp4");
    touch("Show/b.mp4");
    touch("single.mp4");
  }
};

TEST_F(MediaFolderMerge, KnownFilesMovedIntoUserFoldersAreNotAddedAgain) {
  const Nodes first = PlaylistLibrary::mergingMediaFolder(scan(), {});
  EXPECT_EQ(first, scan());
  // A rescan that finds nothing new says so, and the library stays as it is.
  EXPECT_EQ(PlaylistLibrary::mergedWithMediaFolder(scan(), first), std::nullopt);
  PlaylistNode mine = PlaylistNode::folder("Mine", PlaylistTree::items(first));
  // Another spelling of the same file is recognised too.
  mine.children->at(0).url = fileURL(path("Show/./x/../a.mp4"));
  EXPECT_EQ(PlaylistLibrary::mergingMediaFolder(scan(), {mine}), Nodes{mine});
}

TEST_F(MediaFolderMerge, AFolderTheLibraryHasKeepsItsNameAndPlaceAndGetsTheNewFiles) {
  Nodes library = PlaylistLibrary::mergingMediaFolder(scan(), {});
  PlaylistNode show = *PlaylistTree::remove(library, PlaylistLibrary::stableID(path("Show")));
  show.name = "Renamed";
  show.isExpanded = false;
  library.insert(library.begin(), PlaylistNode::folder("Holder", {show}));

  touch("Show/c.mp4");
  const Nodes merged = PlaylistLibrary::mergingMediaFolder(scan(), library);
  ASSERT_EQ(titles(merged), (Strings{"Holder", "single"}));
  const PlaylistNode& renamed = merged[0].children->at(0);
  EXPECT_EQ(titles({renamed}), (Strings{"Renamed"}));
  EXPECT_EQ(titles(*renamed.children), (Strings{"a", "b", "c"}));
  EXPECT_TRUE(renamed.isExpanded);
}

TEST_F(MediaFolderMerge, ANewSubfolderIsAddedOnlyWithItsNewFiles) {
  Nodes library = PlaylistLibrary::mergingMediaFolder(scan(), {});
  // The folder is renamed on disk; the library's items follow it by hand.
  fs::rename(path("Show"), path("Moved"));
  for (PlaylistNode& item : *library[0].children) {
    item.url = fileURL(path("Moved/" + item.url->substr(item.url->rfind('/') + 1)));
  }
  EXPECT_EQ(PlaylistLibrary::mergingMediaFolder(scan(), library), library);

  touch("Moved/new.mp4");
  const Nodes merged = PlaylistLibrary::mergingMediaFolder(scan(), library);
  ASSERT_EQ(titles(merged), (Strings{"Show", "single", "Moved"}));
  EXPECT_EQ(titles(*merged[2].children), (Strings{"new"}));
  EXPECT_EQ(merged[2].id, PlaylistLibrary::stableID(path("Moved")));
}

}  // namespace
}  // namespace orvel
