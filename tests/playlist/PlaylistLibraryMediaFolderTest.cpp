#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "PlaylistNodePrinter.h"
#include "core/Text.h"
#include "playlist/PlaylistLibrary.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
namespace fs = std::filesystem;

void touch(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path) << "x";
}

std::string fileURL(const std::string& path) {
  return Url::fileURL(path)->absoluteString();
}

std::vector<std::string> titles(const Nodes& nodes) {
  std::vector<std::string> result;
  for (const PlaylistNode& node : nodes) {
    result.push_back(node.title());
  }
  return result;
}

class MediaFolder : public testing::Test {
 protected:
  std::string path(const std::string& name) const { return media + "/" + name; }
  Nodes scan() const { return PlaylistLibrary::loadFromMediaFolder(media); }

  TemporaryFolder temporary;
  std::string media = temporary.file("Videos/Wendle Media");
};

TEST_F(MediaFolder, IsCreatedWhenMissingAndListsVideosInNaturalCaseInsensitiveOrder) {
  EXPECT_TRUE(scan().empty());
  EXPECT_TRUE(fs::is_directory(media));

  touch(path("Episode 10.mp4"));
  touch(path("Episode 2.MKV"));
  touch(path("episode 3.webm"));
  touch(path("notes.txt"));
  touch(path(".hidden.mp4"));
  touch(path("mp4"));
  fs::create_directories(path("Empty/Nested"));
  touch(path("Only Text/readme.txt"));

  const Nodes nodes = scan();
  EXPECT_EQ(titles(nodes), (std::vector<std::string>{"Episode 2", "episode 3", "Episode 10"}));
  EXPECT_EQ(nodes[0].url, fileURL(path("Episode 2.MKV")));
  EXPECT_EQ(nodes[0].id, PlaylistLibrary::stableID(path("Episode 2.MKV")));
  EXPECT_EQ(nodes[0].name, "");
  EXPECT_TRUE(nodes[0].isExpanded);
}

TEST_F(MediaFolder, SubfoldersBecomeFoldersWithStableIdsAcrossRescans) {
  touch(path("Show/Season 1/b.mp4"));
  touch(path("Show/Season 1/a.mp4"));
  touch(path("Show/extra.webm"));
  const Nodes first = scan();
  ASSERT_EQ(first.size(), 1u);
  const PlaylistNode& show = first[0];
  EXPECT_EQ(show.name, "Show");
  EXPECT_EQ(show.id, PlaylistLibrary::stableID(path("Show")));
  EXPECT_EQ(show.url, std::nullopt);
  EXPECT_EQ(titles(*show.children), (std::vector<std::string>{"extra", "Season 1"}));
  EXPECT_EQ(titles(*(*show.children)[1].children), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(scan(), first);

  const auto single = PlaylistLibrary::nodeForFile(*Url::fileURL(path("Show") + "/"));
  ASSERT_TRUE(single);
  EXPECT_EQ(*single, show);
  EXPECT_EQ(PlaylistLibrary::nodeForFile(*Url::fileURL(path("missing.txt"))), std::nullopt);
  EXPECT_EQ(PlaylistLibrary::nodeForFile(*Url::parse("https://example.com/a.mp4")), std::nullopt);
}

TEST_F(MediaFolder, NeverEntersADirectoryAlreadyOnTheCurrentPath) {
  touch(path("Show/a.mp4"));
  fs::create_directory_symlink("..", path("Show/back to top"));
  fs::create_directory_symlink(media, path("Show/media again"));
  fs::create_directory_symlink(path("Show"), path("Linked Show"));
  const Nodes nodes = scan();
  // The link to a directory that is not an ancestor is followed like a real one.
  ASSERT_EQ(titles(nodes), (std::vector<std::string>{"Linked Show", "Show"}));
  EXPECT_EQ(titles(*nodes[0].children), (std::vector<std::string>{"a"}));
  EXPECT_EQ(titles(*nodes[1].children), (std::vector<std::string>{"a"}));
}

TEST_F(MediaFolder, SurvivesBrokenLinksUnreadableFoldersAndNamesThatAreNotUTF8) {
  fs::create_directories(media);
  fs::create_symlink(path("gone.mp4"), path("broken.mp4"));
  fs::create_symlink(path("gone"), path("broken.txt"));
  touch(path("\xFF\xFE.mp4"));
  touch(path("Dir \xE9t\xE9/clip.mkv"));
  touch(path("Locked/secret.mp4"));
  chmod(path("Locked").c_str(), 0);
  const Nodes nodes = scan();
  chmod(path("Locked").c_str(), 0755);

  std::vector<std::string> urls;
  for (const PlaylistNode& node : nodes) {
    urls.push_back(node.url.value_or(node.name));
  }
  // A broken link cannot tell whether it was a directory, so it counts as a file by its name.
  EXPECT_NE(std::find(urls.begin(), urls.end(), fileURL(path("broken.mp4"))), urls.end());
  EXPECT_NE(std::find(urls.begin(), urls.end(), fileURL(path("\xFF\xFE.mp4"))), urls.end());
  const auto folder = std::find_if(nodes.begin(), nodes.end(), [](const PlaylistNode& node) {
    return node.isFolder() && node.name != "Locked";
  });
  ASSERT_NE(folder, nodes.end());
  EXPECT_TRUE(isValidUTF8(folder->name));
  EXPECT_EQ(folder->id, PlaylistLibrary::stableID(path("Dir \xE9t\xE9")));
  // Root reads any folder, so only others see the locked one as empty.
  EXPECT_EQ(nodes.size(), geteuid() == 0 ? 4u : 3u);
}

TEST(PlaylistMediaFolder, LivesInTheVideosFolder) {
  const char* previous = std::getenv("XDG_VIDEOS_DIR");
  const std::string saved = previous ? previous : "";
  setenv("XDG_VIDEOS_DIR", "/srv/films", 1);
  EXPECT_EQ(PlaylistLibrary::mediaFolder(), "/srv/films/Wendle Media");
  if (previous) {
    setenv("XDG_VIDEOS_DIR", saved.c_str(), 1);
  } else {
    unsetenv("XDG_VIDEOS_DIR");
  }
  EXPECT_TRUE(PlaylistLibrary::mediaFolder().ends_with("/Wendle Media"));
}

class MediaFolderMerge : public MediaFolder {
 protected:
  MediaFolderMerge() {
    touch(path("Show/a.mp4"));
    touch(path("Show/b.mp4"));
    touch(path("single.mp4"));
  }
};

TEST_F(MediaFolderMerge, KnownFilesMovedIntoUserFoldersAreNotAddedAgain) {
  const Nodes scanned = scan();
  const Nodes first = PlaylistLibrary::mergingMediaFolder(scanned, {});
  EXPECT_EQ(first, scanned);

  // The user dissolves the folder and files everything under one of their own.
  PlaylistNode mine = PlaylistNode::folder("Mine", PlaylistTree::items(first));
  // A second spelling of the same file is recognised too.
  mine.children->at(0).url = fileURL(media + "/Show/./x/../a.mp4");
  const Nodes library = {mine};
  EXPECT_EQ(PlaylistLibrary::mergingMediaFolder(scan(), library), library);
}

TEST_F(MediaFolderMerge, AFolderTheLibraryHasKeepsItsNameAndPlaceAndGetsTheNewFiles) {
  Nodes library = PlaylistLibrary::mergingMediaFolder(scan(), {});
  PlaylistNode show = *PlaylistTree::remove(library, PlaylistLibrary::stableID(path("Show")));
  show.name = "Renamed";
  show.isExpanded = false;
  PlaylistNode holder = PlaylistNode::folder("Holder", {show});
  library.insert(library.begin(), holder);

  touch(path("Show/c.mp4"));
  const Nodes merged = PlaylistLibrary::mergingMediaFolder(scan(), library);
  ASSERT_EQ(titles(merged), (std::vector<std::string>{"Holder", "single"}));
  const PlaylistNode& renamed = merged[0].children->at(0);
  EXPECT_EQ(renamed.name, "Renamed");
  EXPECT_EQ(titles(*renamed.children), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(renamed.isExpanded);
}

TEST_F(MediaFolderMerge, ANewSubfolderIsAddedOnlyWithItsNewFiles) {
  Nodes library = PlaylistLibrary::mergingMediaFolder(scan(), {});
  // The user's copy of the files, moved out of a folder they then deleted.
  fs::rename(path("Show"), path("Moved"));
  for (PlaylistNode& item : *library[0].children) {
    item.url = fileURL(path("Moved/" + item.url->substr(item.url->rfind('/') + 1)));
  }
  Nodes known = library;
  EXPECT_EQ(PlaylistLibrary::mergingMediaFolder(scan(), known), known);

  touch(path("Moved/new.mp4"));
  const Nodes merged = PlaylistLibrary::mergingMediaFolder(scan(), library);
  ASSERT_EQ(titles(merged), (std::vector<std::string>{"Show", "single", "Moved"}));
  EXPECT_EQ(titles(*merged[2].children), (std::vector<std::string>{"new"}));
  EXPECT_EQ(merged[2].id, PlaylistLibrary::stableID(path("Moved")));
  // Files that left the folder stay in the library.
  EXPECT_EQ(titles(*merged[0].children), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace orvel
