#include <gtest/gtest.h>

#include <map>

#include "PlaylistNodePrinter.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistRows.h"
#include "support/MemoryDefaults.h"

namespace orvel {
namespace {

using Nodes = PlaylistTree::Nodes;
using Row = PlaylistRows::Row;

std::string mediaID(const std::string& fileURL) {
  return "mp4:" + fileURL;
}

std::vector<std::string> shownTitles(const PlaylistRows& rows, const std::vector<Row>& list) {
  std::vector<std::string> result;
  for (const Row& row : list) {
    result.push_back(rows.displayTitle(row.node));
  }
  return result;
}

std::vector<int> numbers(const std::vector<Row>& list) {
  std::vector<int> result;
  for (const Row& row : list) {
    result.push_back(row.number);
  }
  return result;
}

// A folder of four files with stored positions and durations that put each one on a different
// side of the resume rules.
class ResumePoints : public testing::Test {
 protected:
  ResumePoints() {
    barelyStarted = PlaylistNode::item("file:///v/1.mp4");
    nearlyDone = PlaylistNode::item("file:///v/2.mp4");
    noDuration = PlaylistNode::item("file:///v/3.mp4");
    halfway = PlaylistNode::item("file:///v/4.mp4");
    folder = PlaylistNode::folder("F", {barelyStarted, nearlyDone, noDuration, halfway});
    library = {folder};
    setPositions({{*barelyStarted.url, 0.5},
                  {*nearlyDone.url, 100.0},
                  {*noDuration.url, 30.0},
                  {*halfway.url, 50.0}});
    PropertyList::Dictionary durations;
    durations[mediaID(*nearlyDone.url)] = 105.0;
    durations[mediaID(*halfway.url)] = std::int64_t{200};
    defaults.set(PlaylistLibrary::kMediaDurationsKey, PropertyList(durations));
  }

  void setPositions(const std::map<std::string, double>& positions) {
    PropertyList::Dictionary stored;
    for (const auto& [url, seconds] : positions) {
      stored[mediaID(url)] = seconds;
    }
    defaults.set(PlaylistLibrary::kPlaybackPositionsKey, PropertyList(stored));
  }

  void markFolder(std::optional<Uuid> id) {
    PlaylistTree::update(library, folder.id, [&](PlaylistNode& node) { node.lastPlayedID = id; });
  }

  MemoryDefaults defaults;
  PlaylistNode barelyStarted, nearlyDone, noDuration, halfway, folder;
  Nodes library;
};

TEST_F(ResumePoints, FallBackToTheFirstMeaningfulPositionWhenTheMarkedItemIsGone) {
  const PlaylistRows rows(defaults);
  markFolder(Uuid::random());
  EXPECT_EQ(rows.resumeID(library, folder.id), noDuration.id);
  markFolder(halfway.id);
  EXPECT_EQ(rows.resumeID(library, folder.id), halfway.id);
  // A folder id that names nothing reads no mark and falls back over the whole library.
  EXPECT_EQ(rows.resumeID(library, Uuid::random()), noDuration.id);
}

TEST_F(ResumePoints, SkipItemsWithinTheirLastFiveSecondsOnlyWhenTheDurationIsKnown) {
  setPositions({{*nearlyDone.url, 99.9}, {*halfway.url, 50.0}});
  EXPECT_EQ(PlaylistRows(defaults).resumeID(library, folder.id), nearlyDone.id);
  setPositions({{*nearlyDone.url, 100.0}, {*halfway.url, 50.0}});
  EXPECT_EQ(PlaylistRows(defaults).resumeID(library, folder.id), halfway.id);

  // The metadata record's duration comes before the stored one.
  PlaylistMetadata::Info info;
  info.duration = 33.0;
  const PlaylistRows withMetadata(
      defaults, [&](const std::string& url) { return url == *noDuration.url ? &info : nullptr; });
  setPositions({{*noDuration.url, 30.0}, {*halfway.url, 50.0}});
  EXPECT_EQ(withMetadata.resumeID(library, folder.id), halfway.id);

  setPositions({{*barelyStarted.url, 0.5}});
  EXPECT_EQ(PlaylistRows(defaults).resumeID(library, folder.id), std::nullopt);
}

TEST_F(ResumePoints, TheTopLevelReadsItsStoredMark) {
  defaults.set(PlaylistLibrary::kLastPlayedKey, PropertyList(nearlyDone.id.uuidString()));
  EXPECT_EQ(PlaylistRows(defaults).resumeID(library, std::nullopt), nearlyDone.id);
  defaults.set(PlaylistLibrary::kLastPlayedKey, PropertyList("not a uuid"));
  EXPECT_EQ(PlaylistRows(defaults).resumeID(library, std::nullopt), noDuration.id);
}

TEST_F(ResumePoints, SavedPositionsStartAtOneSecondAndFolderDurationsAddUpTheKnownOnes) {
  const PlaylistRows rows(defaults);
  EXPECT_EQ(rows.savedPosition(barelyStarted), std::nullopt);
  EXPECT_EQ(rows.savedPosition(noDuration), 30.0);
  EXPECT_EQ(rows.savedPosition(folder), std::nullopt);
  EXPECT_EQ(rows.savedPosition(PlaylistNode()), std::nullopt);

  EXPECT_EQ(rows.duration(halfway), 200.0);
  EXPECT_EQ(rows.duration(noDuration), std::nullopt);
  EXPECT_EQ(rows.duration(folder), 305.0);
  EXPECT_EQ(rows.duration(PlaylistNode::folder("unknown", {noDuration, barelyStarted})),
            std::nullopt);
  EXPECT_EQ(rows.duration(PlaylistNode::folder("empty")), std::nullopt);
}

TEST(PlaylistRows, ResumeMarkerShowsOnTheRowOfTheResumeItem) {
  MemoryDefaults defaults;
  const PlaylistNode started = PlaylistNode::item("file:///v/b.mp4");
  defaults.set(PlaylistLibrary::kPlaybackPositionsKey,
               PropertyList(PropertyList::Dictionary{{mediaID(*started.url), 12.0}}));
  const Nodes library = {PlaylistNode::item("file:///v/a.mp4"), started};
  const auto rows = PlaylistRows(defaults).visibleRows(library, std::nullopt, "");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_FALSE(rows[0].isResume);
  EXPECT_TRUE(rows[1].isResume);
}

class PlaylistSearch : public testing::Test {
 protected:
  PlaylistSearch() {
    deep = PlaylistNode::folder("Deep", {PlaylistNode::item("file:///v/x.mp4", "CATALOG")});
    pets = PlaylistNode::folder(
        "Pets", {PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "cat food"), deep,
                 PlaylistNode::item("https://youtu.be/bbbbbbbbbbb", "Dog")});
    library = {PlaylistNode::item("https://youtu.be/ccccccccccc", "The Cat Show"),
               pets,
               PlaylistNode::item("https://example.com/cats.mp4", "Mystery"),
               PlaylistNode::item("https://youtu.be/ddddddddddd"),
               PlaylistNode::item("file:///v/Stra%C3%9Fe.mp4"),
               PlaylistNode::item("file:///v/cafe%CC%81.webm")};
  }

  MemoryDefaults defaults;
  PlaylistNode deep, pets;
  Nodes library;
};

TEST_F(PlaylistSearch, FindsItemsAtEveryDepthOfTheOpenFolderInAnyCaseAndRenumbers) {
  const PlaylistRows rows(defaults);
  const auto found = rows.visibleRows(library, pets.id, "  cat \t");
  EXPECT_EQ(shownTitles(rows, found), (std::vector<std::string>{"cat food", "CATALOG"}));
  EXPECT_EQ(numbers(found), (std::vector<int>{1, 2}));
  for (const Row& row : found) {
    EXPECT_EQ(row.depth, 0);
    EXPECT_TRUE(row.isLast);
    EXPECT_TRUE(row.guides.empty());
  }

  const auto cleared = rows.visibleRows(library, pets.id, " ");
  EXPECT_EQ(shownTitles(rows, cleared), (std::vector<std::string>{"cat food", "Deep", "Dog"}));
  EXPECT_EQ(numbers(cleared), (std::vector<int>{1, 2, 3}));
}

TEST_F(PlaylistSearch, MatchesLinksAndMetadataTitlesAcrossTheWholeLibrary) {
  PlaylistMetadata::Info info;
  info.title = "Funny CAT compilation";
  const PlaylistRows rows(defaults, [&](const std::string& url) {
    return url == "https://youtu.be/ddddddddddd" ? &info : nullptr;
  });
  EXPECT_EQ(shownTitles(rows, rows.visibleRows(library, std::nullopt, "CAT")),
            (std::vector<std::string>{"The Cat Show", "cat food", "CATALOG", "Mystery",
                                      "Funny CAT compilation"}));
  // A folder that is gone opens the top level.
  EXPECT_EQ(rows.visibleRows(library, Uuid::random(), "").size(), library.size());
  EXPECT_EQ(rows.visibleRows(library, library[0].id, "").size(), library.size());
}

TEST_F(PlaylistSearch, FoldsCaseAndAccentsTheWayReadersDo) {
  const PlaylistRows rows(defaults);
  EXPECT_EQ(shownTitles(rows, rows.visibleRows(library, std::nullopt, "STRASSE")),
            (std::vector<std::string>{"Straße"}));
  // The title spells é as e and a combining accent; the query spells it as one letter.
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "CAFÉ").size(), 1u);
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "cafe.").size(), 0u);
  EXPECT_EQ(rows.visibleRows(library, std::nullopt, "\xFF\xFE").size(), 0u);
}

TEST(PlaylistRows, SidebarDrawsGuidesForFoldersBelowTheTopLevel) {
  PlaylistNode h1 = PlaylistNode::folder("H1");
  PlaylistNode g1 = PlaylistNode::folder("G1", {h1});
  PlaylistNode g2 = PlaylistNode::folder("G2");
  PlaylistNode f1 =
      PlaylistNode::folder("F1", {g1, PlaylistNode::item("https://youtu.be/aaaaaaaaaaa"), g2});
  PlaylistNode h2 = PlaylistNode::folder("H2");
  PlaylistNode g3 = PlaylistNode::folder("G3", {h2});
  PlaylistNode f2 = PlaylistNode::folder("F2", {g3});
  Nodes library = {f1, PlaylistNode::item("https://youtu.be/bbbbbbbbbbb"), f2};

  MemoryDefaults defaults;
  const PlaylistRows rows(defaults);
  struct Expected {
    std::string title;
    int depth;
    std::vector<bool> guides;
    bool isLast;
    int number;
  };
  const std::vector<Expected> expected = {{"F1", 0, {}, false, 1},    {"G1", 1, {}, false, 1},
                                          {"H1", 2, {true}, true, 1}, {"G2", 1, {}, true, 2},
                                          {"F2", 0, {}, true, 2},     {"G3", 1, {}, true, 1},
                                          {"H2", 2, {false}, true, 1}};
  const auto sidebar = rows.sidebarRows(library);
  ASSERT_EQ(sidebar.size(), expected.size());
  for (std::size_t index = 0; index < expected.size(); ++index) {
    SCOPED_TRACE(expected[index].title);
    EXPECT_EQ(sidebar[index].node.name, expected[index].title);
    EXPECT_EQ(sidebar[index].depth, expected[index].depth);
    EXPECT_EQ(sidebar[index].guides, expected[index].guides);
    EXPECT_EQ(sidebar[index].isLast, expected[index].isLast);
    EXPECT_EQ(sidebar[index].number, expected[index].number);
    EXPECT_FALSE(sidebar[index].isResume);
  }

  PlaylistTree::update(library, f2.id, [](PlaylistNode& node) { node.isExpanded = false; });
  EXPECT_EQ(rows.sidebarRows(library).size(), 5u);
}

TEST(PlaylistRows, DisplayTitlePrefersTheNameThenTheMetadataTitle) {
  MemoryDefaults defaults;
  PlaylistMetadata::Info titled;
  titled.title = "From oEmbed";
  PlaylistMetadata::Info untitled;
  const PlaylistRows rows(defaults, [&](const std::string& url) {
    return url.ends_with("aaaaaaaaaaa") ? &titled : &untitled;
  });
  EXPECT_EQ(rows.displayTitle(PlaylistNode::item("https://youtu.be/aaaaaaaaaaa", "Mine")), "Mine");
  EXPECT_EQ(rows.displayTitle(PlaylistNode::item("https://youtu.be/aaaaaaaaaaa")), "From oEmbed");
  EXPECT_EQ(rows.displayTitle(PlaylistNode::item("https://youtu.be/bbbbbbbbbbb")), "YouTube Video");
  EXPECT_EQ(rows.displayTitle(PlaylistNode::folder("")), "Untitled Folder");
}

}  // namespace
}  // namespace orvel
