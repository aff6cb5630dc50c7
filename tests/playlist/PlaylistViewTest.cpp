// SPDX-License-Identifier: GPL-3.0-or-later

#include "playlist/PlaylistView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <utility>

#include "PlaylistTestSupport.h"
#include "support/MemoryDefaults.h"
#include "support/TemporaryFolder.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Strings = std::vector<std::string>;
using Plays = std::vector<std::pair<std::optional<Uuid>, std::optional<Uuid>>>;

// An id whose place in a std::set is known, so a test can make set order differ from row order.
Uuid fixedID(std::uint8_t n) {
  Uuid::Bytes bytes{};
  bytes[15] = n;
  return Uuid(bytes);
}

PlaylistNode video(const std::string& name, std::optional<std::uint8_t> id = std::nullopt) {
  PlaylistNode node = PlaylistNode::item("file:///v/" + name + ".mp4", name);
  if (id) {
    node.id = fixedID(*id);
  }
  return node;
}

Strings labels(const std::vector<PlaylistView::MenuEntry>& entries) {
  Strings result;
  for (const auto& entry : entries) {
    result.push_back(entry.label);
  }
  return result;
}

// The panel over a library the test owns, recording what it asks of the session.
class PanelTest : public testing::Test {
 protected:
  PlaylistView& panel() {
    if (!view_) {
      PlaylistView::Inputs inputs{
          .library = [this]() -> const Nodes& { return library; },
          .setLibrary = [this](Nodes nodes) { library = std::move(nodes); },
          .currentItemID = [this] { return current; },
          .onPlay = [this](std::optional<Uuid> item,
                           std::optional<Uuid> scope) { plays.emplace_back(item, scope); },
          .onFileTrashed = [this](const Url& file) { events.push_back("told " + file.path()); },
          .onRepeatChanged = [this] { events.push_back("repeat changed"); },
      };
      PlaylistView::Dependencies dependencies{
          defaults, StreamingProviderRegistry::shared(), nullptr, trash, {}, {}, {}};
      view_ = std::make_unique<PlaylistView>(std::move(inputs), std::move(dependencies));
    }
    return *view_;
  }

  const Nodes& children(const Uuid& folder) const {
    return *PlaylistTree::find(library, folder)->children;
  }

  Nodes library;
  std::optional<Uuid> current;
  MemoryDefaults defaults;
  Plays plays;
  Strings events;
  PlaylistTrash::Trasher trash = [this](const Url& file) -> std::optional<std::string> {
    events.push_back("trash " + file.path());
    return std::nullopt;
  };

 private:
  std::unique_ptr<PlaylistView> view_;
};

using PlaylistViewEditing = PanelTest;
using PlaylistViewTrash = PanelTest;
using PlaylistViewPlayback = PanelTest;
using PlaylistViewText = PanelTest;

TEST_F(PlaylistViewEditing, GroupingKeepsRowOrderTakesTheFirstRowsPlaceAndAsksForAName) {
  // Set order (d, c, b) is the reverse of row order.
  const PlaylistNode trips = PlaylistNode::folder(
      "Trips", {video("a"), video("b", 3), video("c", 2), video("d", 1), video("e")});
  library = {trips, video("z")};
  panel().openFolder(trips.id);
  panel().groupIntoFolder({fixedID(1), fixedID(2), fixedID(3)});

  const Nodes& inside = children(trips.id);
  ASSERT_EQ(titles(inside), (Strings{"a", "New Folder", "e"}));
  EXPECT_EQ(titles(*inside[1].children), (Strings{"b", "c", "d"}));
  EXPECT_EQ(panel().selection(), PlaylistView::Ids{inside[1].id});
  EXPECT_EQ(panel().renamingID(), inside[1].id);
  EXPECT_EQ(panel().renameText(), "New Folder");
  EXPECT_TRUE(panel().renamingFolder());
  // A folder left without a name keeps the one it had.
  panel().setRenameText(" \t\n ");
  panel().commitRename();
  EXPECT_EQ(children(trips.id)[1].name, "New Folder");
  EXPECT_EQ(panel().renamingID(), std::nullopt);
  // A video left without one falls back to its own title.
  panel().beginRename(children(trips.id)[0].id);
  EXPECT_EQ(panel().renameText(), "a");
  EXPECT_FALSE(panel().renamingFolder());
  panel().setRenameText("   ");
  panel().commitRename();
  EXPECT_EQ(children(trips.id)[0].name, "");

  // At the top level, from a selection that starts past the first row.
  library = {video("p"), video("q", 2), video("r", 1)};
  panel().openFolder(std::nullopt);
  panel().groupIntoFolder({fixedID(1), fixedID(2)});
  ASSERT_EQ(titles(library), (Strings{"p", "New Folder"}));
  EXPECT_EQ(titles(*library[1].children), (Strings{"q", "r"}));
}

TEST_F(PlaylistViewEditing, MovesIntoTheMovedSubtreeAreRefusedAndMoveToAppendsAndExpands) {
  PlaylistNode inner = PlaylistNode::folder("Inner");
  PlaylistNode outer = PlaylistNode::folder("Outer", {inner, video("f1", 1)});
  PlaylistNode target = PlaylistNode::folder("Target", {video("t1")});
  target.isExpanded = false;
  library = {outer, target, video("x", 2)};
  const Nodes before = library;

  panel().move({outer.id}, inner.id);
  panel().move({outer.id}, outer.id);
  panel().move({fixedID(2), outer.id}, outer.id);
  EXPECT_EQ(library, before);

  // The visible row comes first, then the one inside a folder, whatever the set order.
  panel().move({fixedID(1), fixedID(2)}, target.id);
  EXPECT_EQ(titles(library), (Strings{"Outer", "Target"}));
  EXPECT_EQ(titles(children(target.id)), (Strings{"t1", "x", "f1"}));
  EXPECT_TRUE(PlaylistTree::find(library, target.id)->isExpanded);
  EXPECT_EQ(titles(children(outer.id)), (Strings{"Inner"}));

  panel().move({inner.id}, std::nullopt);
  EXPECT_EQ(titles(library), (Strings{"Outer", "Target", "Inner"}));
}

TEST_F(PlaylistViewEditing, ArrowsMoveOneSelectedRowAndDraggingMovesRowsOfTheOpenFolder) {
  const PlaylistNode folder =
      PlaylistNode::folder("F", {video("a"), video("b"), video("c"), video("d")});
  library = {folder, video("x")};
  const Uuid a = children(folder.id)[0].id;
  const Uuid d = children(folder.id)[3].id;

  panel().setSelection({a});
  EXPECT_FALSE(panel().canMove(-1));
  EXPECT_TRUE(panel().canMove(1));
  panel().move(-1);
  panel().move(1);
  EXPECT_EQ(titles(children(folder.id)), (Strings{"b", "a", "c", "d"}));
  EXPECT_EQ(panel().selection(), PlaylistView::Ids{a});
  panel().move(-1);
  EXPECT_EQ(titles(children(folder.id)), (Strings{"a", "b", "c", "d"}));

  panel().setSelection({d});
  EXPECT_FALSE(panel().canMove(1));
  panel().setSelection({a, d});
  EXPECT_FALSE(panel().canMove(-1));
  EXPECT_FALSE(panel().canMove(1));

  panel().setSelection({library[1].id});
  panel().move(-1);
  EXPECT_EQ(titles(library), (Strings{"x", "F"}));

  // Dragging uses the offsets of the rows as they were.
  panel().openFolder(folder.id);
  panel().moveRows({0}, 3);
  EXPECT_EQ(titles(children(folder.id)), (Strings{"b", "c", "a", "d"}));
  panel().moveRows({1, 3}, 0);
  EXPECT_EQ(titles(children(folder.id)), (Strings{"c", "d", "b", "a"}));
  panel().moveRows({0}, 4);
  EXPECT_EQ(titles(children(folder.id)), (Strings{"d", "b", "a", "c"}));
  EXPECT_EQ(titles(library), (Strings{"x", "F"}));
  panel().setQuery("a");
  EXPECT_FALSE(panel().canReorder());
  panel().moveRows({0}, 4);
  EXPECT_EQ(titles(children(folder.id)), (Strings{"d", "b", "a", "c"}));
}

TEST_F(PlaylistViewEditing, ShuffleRemainingReordersOnlyWhatComesAfterTheCurrentItem) {
  const PlaylistNode sub = PlaylistNode::folder("Sub", {video("s1"), video("s2"), video("s3")});
  const PlaylistNode folder =
      PlaylistNode::folder("F", {video("a"), video("b"), video("c"), video("d"), sub, video("f")});
  library = {video("top"), folder, video("end")};
  current = children(folder.id)[2].id;
  ASSERT_TRUE(panel().canShuffleRemaining());

  const Nodes before = children(folder.id);
  bool reordered = false;
  for (int attempt = 0; attempt < 30; ++attempt) {
    panel().shuffleRemaining();
    const Nodes& now = children(folder.id);
    ASSERT_EQ(titles(Nodes(now.begin(), now.begin() + 3)), (Strings{"a", "b", "c"}));
    ASSERT_TRUE(std::is_permutation(now.begin() + 3, now.end(), before.begin() + 3));
    reordered = reordered || now != before;
  }
  EXPECT_TRUE(reordered);
  EXPECT_EQ(titles(library), (Strings{"top", "F", "end"}));
  EXPECT_EQ(*PlaylistTree::find(library, sub.id), sub);

  current = children(folder.id).back().id;
  EXPECT_FALSE(panel().canShuffleRemaining());
  current = std::nullopt;
  EXPECT_FALSE(panel().canShuffleRemaining());
}

TEST_F(PlaylistViewEditing, LinkFieldTrimsRefusesUnsupportedLinksAndAddsToTheOpenFolder) {
  PlaylistNode folder = PlaylistNode::folder("F", {video("a")});
  folder.isExpanded = false;
  library = {folder};

  panel().setNewURL("   ");
  panel().addURL();
  EXPECT_EQ(panel().errorMessage(), std::nullopt);

  panel().setNewURL("https://example.com/page");
  panel().addURL();
  EXPECT_EQ(panel().errorMessage(),
            "Enter a supported video or playlist URL, or choose an MP4, WebM or MKV file.");
  EXPECT_EQ(panel().newURL(), "https://example.com/page");
  EXPECT_EQ(library, (Nodes{folder}));

  panel().openFolder(folder.id);
  panel().setNewURL(" \thttps://www.youtube.com/watch?v=dQw4w9WgXcQ \n");
  panel().addURL();
  const Nodes& inside = children(folder.id);
  ASSERT_EQ(inside.size(), 2u);
  EXPECT_EQ(inside[1].url, "https://www.youtube.com/watch?v=dQw4w9WgXcQ");
  EXPECT_TRUE(library[0].isExpanded);
  EXPECT_EQ(panel().newURL(), "");
  EXPECT_EQ(panel().errorMessage(), std::nullopt);
}

// Chosen files and folders: the videos join the open folder, a folder as a folder of its videos;
// a choice with nothing playable says so and changes nothing.
TEST_F(PlaylistViewEditing, ChosenFilesJoinTheOpenFolderAndNothingPlayableSaysSo) {
  TemporaryFolder disk;
  std::filesystem::create_directories(disk.file("trip"));
  for (const char* name : {"notes.txt", "trip/b.mkv", "trip/a.webm", "trip/readme.txt"}) {
    std::ofstream(disk.file(name)) << "x";
  }
  PlaylistNode folder = PlaylistNode::folder("F");
  library = {folder};
  panel().openFolder(folder.id);

  panel().addFiles(PlaylistView::nodesForFiles({*Url::fileURL(disk.file("notes.txt"))}));
  EXPECT_EQ(panel().errorMessage(), "No MP4, WebM or MKV files were found in the selection.");
  EXPECT_TRUE(children(folder.id).empty());

  panel().addFiles(PlaylistView::nodesForFiles(
      {*Url::fileURL(disk.file("notes.txt")), *Url::fileURL(disk.file("trip"))}));
  EXPECT_EQ(panel().errorMessage(), std::nullopt);
  ASSERT_EQ(children(folder.id).size(), 1u);
  const PlaylistNode& trip = children(folder.id)[0];
  EXPECT_EQ(trip.name, "trip");
  ASSERT_TRUE(trip.children);
  ASSERT_EQ(trip.children->size(), 2u);
  EXPECT_EQ((*trip.children)[0].fileURL()->lastPathComponent(), "a.webm");
}

// The same file added twice makes two rows (the row being played is marked by its id): what the
// user does to one never lands on the other.
TEST_F(PlaylistViewEditing, AFileAddedTwiceIsTwoRowsThatActOnTheirOwn) {
  TemporaryFolder disk;
  std::ofstream(disk.file("a.mkv")) << "x";
  PlaylistNode folder = PlaylistNode::folder("F");
  library = {folder};
  panel().addFiles(PlaylistView::nodesForFiles({*Url::fileURL(disk.file("a.mkv"))}));
  panel().openFolder(folder.id);
  panel().addFiles(PlaylistView::nodesForFiles({*Url::fileURL(disk.file("a.mkv"))}));
  ASSERT_EQ(library.size(), 2u);
  const Uuid first = library[1].id;
  ASSERT_EQ(children(folder.id).size(), 1u);
  const Uuid second = children(folder.id)[0].id;
  EXPECT_NE(first, second);

  panel().beginRename(second);
  panel().setRenameText("Second copy");
  panel().commitRename();
  EXPECT_EQ(library[1].name, "");
  EXPECT_EQ(children(folder.id)[0].name, "Second copy");

  panel().remove({second});
  EXPECT_TRUE(children(folder.id).empty());
  ASSERT_EQ(library.size(), 2u);
  EXPECT_EQ(library[1].id, first);
}

// The playlist holds at most its largest library: an addition that would pass it is refused
// whole, with the reason.
TEST_F(PlaylistViewEditing, NothingIsAddedPastTheLargestLibrary) {
  Nodes many(PlaylistLibrary::kLargestLibrary - 1,
             PlaylistNode::item("https://youtu.be/aaaaaaaaaaa"));
  library = {PlaylistNode::folder("Many", std::move(many))};
  panel().add({video("one"), video("two")});
  EXPECT_EQ(panel().errorMessage(),
            "The playlist holds at most 100,000 videos; it has 99,999, and this would add 2.");
  EXPECT_EQ(library.size(), 1u);
  panel().add({video("one")});
  EXPECT_EQ(panel().errorMessage(), std::nullopt);
  EXPECT_EQ(library.size(), 2u);
}

TEST_F(PlaylistViewTrash, FileListedTwiceLeavesEverywhereAndTheSessionHearsOnceItIsInTheTrash) {
  library = {PlaylistNode::item("file:///v/a.mp4"),
             PlaylistNode::folder("F", {PlaylistNode::item("file:///v/./a.mp4"), video("b")}),
             PlaylistNode::item("https://www.youtube.com/watch?v=dQw4w9WgXcQ")};
  panel().setErrorMessage("an earlier failure");
  panel().requestTrash(library[0].id);
  ASSERT_TRUE(panel().showsTrashConfirmation());
  EXPECT_EQ(panel().trashConfirmationMessage(),
            "a.mp4 will be moved from its original folder to the Trash and removed from the "
            "playlist. You can restore it from Trash.");

  panel().trashSelectedFile();
  EXPECT_EQ(events, (Strings{"trash /v/a.mp4", "told /v/a.mp4"}));
  ASSERT_EQ(library.size(), 2u);
  EXPECT_EQ(titles(*library[0].children), (Strings{"b"}));
  EXPECT_FALSE(panel().showsTrashConfirmation());
  EXPECT_EQ(panel().errorMessage(), std::nullopt);
}

TEST_F(PlaylistViewTrash, RefusedFileStaysInTheLibraryWithTheReason) {
  TemporaryFolder folder;
  const std::string path = folder.file("clip.txt");
  std::ofstream(path) << "not a video";
  trash = PlaylistTrash::moveToTrash;
  library = {PlaylistNode::item(fileURL(path)), video("b")};
  const Nodes before = library;

  panel().requestTrash(library[0].id);
  panel().trashSelectedFile();
  EXPECT_EQ(events, Strings{}) << "the session keeps the file's place and history";
  EXPECT_EQ(panel().errorMessage(),
            "Could not move clip.txt to Trash: Only an MP4, WebM or MKV file that exists can be "
            "moved to the Trash.");
  EXPECT_EQ(library, before);
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(PlaylistViewPlayback, ItemsPlayInTheirOwnFolderAndFoldersFromTheirResumePoint) {
  PlaylistNode inner = PlaylistNode::folder("G", {video("b")});
  inner.lastPlayedID = inner.children->front().id;
  PlaylistNode outer = PlaylistNode::folder("F", {video("a"), inner});
  outer.lastPlayedID = outer.children->front().id;
  const PlaylistNode empty = PlaylistNode::folder("Empty");
  library = {outer, video("c"), empty};
  const Uuid b = inner.children->front().id;

  panel().play(b);
  panel().openFolder(inner.id);
  panel().play(library[1].id);
  panel().play(inner.id);
  panel().play(Uuid::random());
  EXPECT_EQ(plays, (Plays{{b, inner.id}, {library[1].id, std::nullopt}, {b, inner.id}}));

  plays.clear();
  panel().openFolder(empty.id);
  EXPECT_FALSE(panel().canPlayScope());
  panel().playScope();
  panel().playScopeFromBeginning();
  EXPECT_TRUE(plays.empty());

  panel().openFolder(outer.id);
  ASSERT_TRUE(panel().canPlayScope());
  panel().playScope();
  panel().playScopeFromBeginning();
  EXPECT_EQ(plays, (Plays{{outer.lastPlayedID, outer.id}, {std::nullopt, outer.id}}));
}

TEST_F(PlaylistViewPlayback, OpenFolderFollowsTheCurrentItemTheStoredScopeAndRemovals) {
  const PlaylistNode inner = PlaylistNode::folder("G", {video("b")});
  const PlaylistNode outer = PlaylistNode::folder("F", {inner});
  library = {outer, video("c")};
  defaults.set(PlaylistLibrary::kScopeKey, PropertyList(outer.id.uuidString()));

  current = inner.children->front().id;
  panel().appear();
  EXPECT_EQ(panel().folderID(), inner.id);
  current = library[1].id;
  panel().appear();
  EXPECT_EQ(panel().folderID(), std::nullopt);

  current = std::nullopt;
  panel().appear();
  EXPECT_EQ(panel().folderID(), outer.id);
  defaults.set(PlaylistLibrary::kScopeKey, PropertyList("not a uuid"));
  panel().appear();
  EXPECT_EQ(panel().openFolderID(), std::nullopt);

  // Removing the open folder, from the sidebar say, falls back to the top level.
  panel().openFolder(inner.id);
  panel().setSelection({inner.id});
  panel().remove({outer.id});
  EXPECT_EQ(panel().folderID(), std::nullopt);
  EXPECT_EQ(panel().folderTitle(panel().folderID()), "All Videos");
  EXPECT_TRUE(panel().selection().empty());
  EXPECT_EQ(titles(library), (Strings{"c"}));
}

TEST_F(PlaylistViewText, ContextMenusListTheirEntriesInOrder) {
  PlaylistNode resumed = PlaylistNode::folder("A", {PlaylistNode::folder("A1", {video("deep")})});
  PlaylistNode picked = PlaylistNode::folder("B", {PlaylistNode::folder("B1"), video("b")});
  picked.lastPlayedID = picked.children->back().id;
  library = {resumed, picked, PlaylistNode::folder("C"), video("x"),
             PlaylistNode::item("https://www.youtube.com/watch?v=dQw4w9WgXcQ")};

  EXPECT_EQ(labels(panel().contextMenu({picked.id})),
            (Strings{"Continue Playing Folder", "Play from Beginning", "Open", "Rename…", "Move To",
                     "New Folder with Selection", "Remove from Playlist"}));
  EXPECT_EQ(labels(panel().contextMenu({resumed.id}))[0], "Play Folder");
  const auto file = panel().contextMenu({library[3].id});
  EXPECT_EQ(labels(file), (Strings{"Play", "Rename…", "Copy Link", "Show in Files", "Move To",
                                   "New Folder with Selection", "Remove from Playlist",
                                   "Move Original File to Trash…"}));
  EXPECT_TRUE(file.back().destructive);
  EXPECT_EQ(labels(panel().contextMenu({library[4].id})),
            (Strings{"Play", "Rename…", "Copy Link", "Move To", "New Folder with Selection",
                     "Remove from Playlist"}));

  const auto both = panel().contextMenu({picked.id, library[3].id});
  EXPECT_EQ(labels(both),
            (Strings{"Move To", "New Folder with Selection", "Remove from Playlist"}));
  EXPECT_EQ(labels(both[0].submenu), (Strings{"Top Level", "A", "    A1", "C", "New Folder…"}));

  // Choosing a folder moves the selection there.
  panel().perform(both[0].submenu[2], {picked.id, library[3].id});
  EXPECT_EQ(titles(children(resumed.children->front().id)), (Strings{"deep", "B", "x"}));
}

TEST_F(PlaylistViewText, RepeatCyclesThroughItsModesAndStoresEach) {
  EXPECT_EQ(panel().repeatHelp(), "Repeat is off");
  const std::vector<std::array<std::string, 3>> cycle{{"all", "Repeat all", "repeat"},
                                                      {"one", "Repeat one", "repeat.1"},
                                                      {"off", "Repeat is off", "repeat"}};
  for (const auto& [raw, help, symbol] : cycle) {
    panel().cycleRepeat();
    const PropertyList stored = defaults.values().at(std::string(PlaylistLibrary::kRepeatKey));
    EXPECT_EQ(stored, PropertyList(raw));
    EXPECT_EQ(panel().repeatHelp(), help);
    EXPECT_EQ(panel().repeatSymbol(), symbol);
  }
  EXPECT_EQ(events, Strings(3, "repeat changed"));
  // Changed elsewhere (the desktop's media controls), the panel shows the stored mode.
  defaults.set(std::string(PlaylistLibrary::kRepeatKey), PropertyList(std::string("one")));
  EXPECT_EQ(panel().repeatHelp(), "Repeat one");
}

TEST_F(PlaylistViewText, EmptyStatesSayWhyNothingIsListed) {
  using Empty = PlaylistView::EmptyState;
  EXPECT_EQ(panel().emptyState(false),
            (Empty{"Your playlist is empty",
                   "Add video links, MP4/WebM/MKV files or whole folders.\n"
                   "Create folders to organize them."}));
  library = {PlaylistNode::folder("F"), video("a")};
  EXPECT_EQ(panel().emptyState(true), std::nullopt);
  panel().setQuery("zzz");
  EXPECT_EQ(panel().emptyState(false), (Empty{"No matches", "No videos match “zzz”."}));
  panel().openFolder(library[0].id);
  EXPECT_EQ(panel().emptyState(false), (Empty{"This folder is empty",
                                              "Add links or files while this folder is open,\n"
                                              "or use Move To on other videos."}));
}

TEST_F(PlaylistViewText, DurationsSummaryAndSubtitles) {
  EXPECT_EQ(PlaylistView::formatDuration(0), "00:00");
  EXPECT_EQ(PlaylistView::formatDuration(65.4), "01:05");
  EXPECT_EQ(PlaylistView::formatDuration(3600), "1:00:00");
  EXPECT_EQ(PlaylistView::formatDuration(-5), "00:00");
  EXPECT_EQ(PlaylistView::formatDuration(std::numeric_limits<double>::quiet_NaN()), "00:00");

  PlaylistNode intro = PlaylistNode::item("file:///v/Holiday/a.mp4", "Intro");
  PlaylistNode trips =
      PlaylistNode::folder("Trips", {intro, PlaylistNode::item("file:///v/Holiday/b.mp4")});
  trips.lastPlayedID = intro.id;
  library = {trips, PlaylistNode::item("https://www.youtube.com/watch?v=dQw4w9WgXcQ")};
  defaults.set(PlaylistLibrary::kMediaDurationsKey,
               PropertyList(PropertyList::Dictionary{{"mp4:file:///v/Holiday/a.mp4", 65.4},
                                                     {"mp4:file:///v/Holiday/b.mp4", 3600.0}}));

  current = intro.id;
  // The total duration shows once every item is summed.
  EXPECT_FALSE(panel().sumDurations(2));
  EXPECT_EQ(panel().headerSummary(), "3 videos · 1 folder · Now playing: Intro");
  EXPECT_TRUE(panel().sumDurations(1));
  EXPECT_EQ(panel().headerSummary(), "3 videos · 1 folder · 1:01:05 · Now playing: Intro");

  const auto rows = panel().visibleRows();
  ASSERT_EQ(rows.size(), 2u);
  // A folder's row is no copy of what it holds (one may hold 100,000 items), only its count.
  EXPECT_TRUE(rows[0].node.isFolder());
  EXPECT_TRUE(rows[0].node.children->empty());
  EXPECT_EQ(rows[0].itemCount, 2u);
  EXPECT_EQ(panel().subtitle(rows[0]), "2 videos · Stopped at Intro");
  EXPECT_EQ(panel().subtitle(rows[1]), "www.youtube.com");
  panel().openFolder(trips.id);
  EXPECT_EQ(panel().subtitle(panel().visibleRows()[0]), "Holiday");

  // While searching, the folder holding an item comes first.
  panel().openFolder(std::nullopt);
  panel().setQuery("intro");
  ASSERT_EQ(panel().visibleRows().size(), 1u);
  EXPECT_EQ(panel().subtitle(panel().visibleRows()[0]), "Trips · Holiday");

  library = {PlaylistNode::folder("Solo", {video("only")})};
  panel().libraryChanged();
  current = std::nullopt;
  EXPECT_TRUE(panel().sumDurations());
  EXPECT_EQ(panel().headerSummary(), "1 video · 1 folder");
  // The search reads the new library.
  EXPECT_TRUE(panel().visibleRows().empty());
  panel().setQuery("only");
  EXPECT_EQ(panel().visibleRows().size(), 1u);
  panel().setQuery("");
  EXPECT_EQ(panel().subtitle(panel().visibleRows()[0]), "1 video");
}

}  // namespace
}  // namespace orvel
